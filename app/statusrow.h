#pragma once

#include <QLabel>
#include <QStringList>

class QFontMetrics;

// One row of the status area: its text on as many lines as it is given room for (one, unless
// the area gives a safety row more), the last of them elided at its end, with the whole text
// in its tooltip and its accessible description. text() keeps the whole text.
class StatusRow : public QLabel
{
    Q_OBJECT

public:
    StatusRow(const QString &objectName, const QColor &color, QWidget *parent = nullptr);

    // tip: what the tooltip and a screen reader tell besides; the text itself when empty.
    void say(const QString &text, const QString &tip = QString());
    void setColor(const QColor &color);
    // The lines the whole text takes at this width.
    int linesNeeded(int width) const;
    // The text as it is drawn: the lines that fit the row, the last elided when more remain.
    QStringList shownLines() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static QStringList wrapped(const QString &text, const QFontMetrics &metrics, int width);
};
