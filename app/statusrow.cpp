#include "app/statusrow.h"

#include "status/showntext.h"

#include <QPainter>

StatusRow::StatusRow(const QString &objectName, const QColor &color, QWidget *parent)
    : QLabel(parent)
{
    setObjectName(objectName);
    setTextFormat(Qt::PlainText);
    setColor(color);
    hide();
}

void StatusRow::say(const QString &text, const QString &tip)
{
    const QString whole = tip.isEmpty() ? text : tip;
    if (this->text() == text && toolTip() == whole)
        return;
    setText(text);
    setToolTip(whole);
    setAccessibleDescription(whole);
}

void StatusRow::setColor(const QColor &color)
{
    QPalette palette = this->palette();
    if (palette.color(QPalette::WindowText) == color)
        return;
    palette.setColor(QPalette::WindowText, color);
    setPalette(palette);
    update();
}

QStringList StatusRow::wrapped(const QString &text, const QFontMetrics &metrics, int width)
{
    // The parts of a text of several lines follow each other; Chinese breaks between any two
    // characters, so the lines break where the width ends. Nothing in a name can break the line
    // or turn it around.
    QString flat = ShownText::row(text);
    flat.replace(u'\n', QStringLiteral("；"));
    QStringList lines;
    QString line;
    for (const QChar c : std::as_const(flat)) {
        if (!line.isEmpty() && metrics.horizontalAdvance(line + c) > width) {
            lines << line;
            line.clear();
        }
        line += c;
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

int StatusRow::linesNeeded(int width) const
{
    return std::max<int>(1, wrapped(text(), fontMetrics(), width).size());
}

QStringList StatusRow::shownLines() const
{
    const QRect room = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    const int fit = std::max(1, room.height() / metrics.lineSpacing());
    QStringList lines = wrapped(text(), metrics, room.width());
    if (lines.size() <= fit)
        return lines;
    // What does not fit is elided at the end of the last line shown.
    const QString rest = lines.sliced(fit - 1).join(QString());
    lines = lines.first(fit - 1);
    lines << metrics.elidedText(rest, Qt::ElideRight, room.width());
    return lines;
}

void StatusRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect room = contentsRect();
    const QStringList lines = shownLines();
    const int step = fontMetrics().lineSpacing();
    // Centred in the row as a whole, one line under another.
    int y = room.top() + (room.height() - step * int(lines.size())) / 2;
    for (const QString &line : lines) {
        painter.drawText(QRect(room.left(), y, room.width(), step),
                         Qt::AlignLeft | Qt::AlignVCenter, line);
        y += step;
    }
}
