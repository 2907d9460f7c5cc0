#pragma once

#include <QLabel>

// One row of the status area: its text on one line, elided at the row's end, with the whole
// text in its tooltip and its accessible description. text() keeps the whole text.
class StatusRow : public QLabel
{
    Q_OBJECT

public:
    StatusRow(const QString &objectName, const QColor &color, QWidget *parent = nullptr);

    // tip: what the tooltip and a screen reader tell besides; the text itself when empty.
    void say(const QString &text, const QString &tip = QString());

protected:
    void paintEvent(QPaintEvent *event) override;
};
