#include "app/statusarea.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

StatusArea::StatusArea(const QRect &place, QWidget *parent)
    : QFrame(parent), m_lines(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("statusArea"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 96));
    setPalette(palette);
    m_lines->setContentsMargins(6, 4, 6, 4);
    m_lines->setSpacing(2);
    m_lines->addStretch();
    setGeometry(place);
    hide();
}

QLabel *StatusArea::addLine(const QString &objectName, const QColor &color)
{
    auto *line = new QLabel(this);
    line->setObjectName(objectName);
    line->setWordWrap(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, color);
    line->setPalette(palette);
    line->hide();
    // Lines stack from the top, above the stretch that ends the area.
    m_lines->insertWidget(m_lines->count() - 1, line);
    return line;
}

void StatusArea::setLine(QLabel *line, const QString &text)
{
    if (line->text() == text && line->isVisible() == !text.isEmpty())
        return;
    line->setText(text);
    line->setVisible(!text.isEmpty());
    showWhenAnything();
}

QPushButton *StatusArea::addButton(const QString &objectName, const QString &text)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(objectName);
    button->setFocusPolicy(Qt::StrongFocus);
    button->hide();
    m_lines->insertWidget(m_lines->count() - 1, button, 0, Qt::AlignLeft);
    return button;
}

void StatusArea::setButtonShown(QPushButton *button, bool shown)
{
    button->setVisible(shown);
    showWhenAnything();
}

void StatusArea::showWhenAnything()
{
    bool anything = false;
    for (const QWidget *each : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        anything = anything || !each->isHidden();
    setVisible(anything);
}
