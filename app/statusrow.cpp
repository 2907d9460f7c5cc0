#include "app/statusrow.h"

#include "status/showntext.h"

#include <QPainter>

StatusRow::StatusRow(const QString &objectName, const QColor &color, QWidget *parent)
    : QLabel(parent)
{
    setObjectName(objectName);
    setTextFormat(Qt::PlainText);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, color);
    setPalette(palette);
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

void StatusRow::paintEvent(QPaintEvent *)
{
    // A row is one line high: the parts of a text of several lines follow each other on it, and
    // nothing in a name can break the line or turn it around.
    QString flat = ShownText::row(text());
    flat.replace(u'\n', QStringLiteral("；"));
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect room = contentsRect();
    painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(flat, Qt::ElideRight, room.width()));
}
