#pragma once

#include <QColor>
#include <QFrame>

class QLabel;
class QPushButton;
class QVBoxLayout;

// The panel's non-modal notices, drawn over the brand panel of the background picture, which
// holds no control. One line each (the link, later alarms and monitoring), each shown only
// while it has something to say; with nothing to say the area is not there at all, and with
// anything it covers the lower part of the brand panel whole, so no caption shows half.
class StatusArea : public QFrame
{
    Q_OBJECT

public:
    // place: the most the area may cover, in its parent's coordinates.
    StatusArea(const QRect &place, QWidget *parent = nullptr);

    QLabel *addLine(const QString &objectName, const QColor &color);
    // An empty text hides the line.
    void setLine(QLabel *line, const QString &text);
    // A button on a line of its own, shown only while asked to.
    QPushButton *addButton(const QString &objectName, const QString &text);
    void setButtonShown(QPushButton *button, bool shown);

private:
    void showWhenAnything();

    QVBoxLayout *m_lines;
};
