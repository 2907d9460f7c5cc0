#pragma once

#include <QWidget>

// A ring around the control that has the keyboard focus, drawn over the panel's surface in a
// colour that stands out on its blue: the styles' own one-pixel focus line is easily missed
// there, and a key pressed with the keyboard must be the key the operator meant.
class FocusRing : public QWidget
{
    Q_OBJECT

public:
    explicit FocusRing(QWidget *surface);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void follow(QWidget *focused);
};
