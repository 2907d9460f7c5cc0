#include "app/statusarea.h"

#include "app/statusrow.h"

#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kMarginX = 6;
constexpr int kMarginY = 4;
constexpr int kSpacing = 2;
const QColor kAlarmColor(255, 90, 90);
const QColor kTextColor(255, 255, 255);

} // namespace

StatusArea::StatusArea(const QRect &lower, const QRect &whole, QWidget *parent)
    : QFrame(parent), m_lower(lower), m_whole(whole),
      m_more(new StatusRow(QStringLiteral("statusMore"), kTextColor, this))
{
    setObjectName(QStringLiteral("statusArea"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 96));
    setPalette(palette);
    // Made before any alarm, so that the alarms' first row is there to be found.
    m_alarmRows << new StatusRow(StatusRows::name(Line::Alarm), kAlarmColor, this);
    for (int line = int(Line::Stop); line < StatusRows::kLines; ++line)
        m_lineRows[line] = new StatusRow(StatusRows::name(Line(line)), kTextColor, this);
    setGeometry(lower);
    hide();
}

void StatusArea::setAlarms(const QStringList &texts)
{
    m_rows.setAlarms(texts);
    lay();
}

void StatusArea::setLine(Line line, const QString &text)
{
    m_rows.setText(line, text);
    lay();
}

void StatusArea::pass(Line line, const QString &text)
{
    QTimer *&timer = m_passing[line];
    if (!timer) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(kPassingShown);
        connect(timer, &QTimer::timeout, this, [this, line] {
            m_rows.setPassing(line, QString());
            lay();
        });
    }
    m_rows.setPassing(line, text);
    timer->start();
    lay();
}

QPushButton *StatusArea::addButton(Line line, const QString &objectName, const QString &text)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(objectName);
    button->setFocusPolicy(Qt::StrongFocus);
    button->hide();
    m_buttons.insert(line, button);
    lay();
    return button;
}

StatusRow *StatusArea::rowFor(const StatusRows::Row &row)
{
    if (row.line != Line::Alarm)
        return m_lineRows[int(row.line)];
    while (m_alarmRows.size() <= row.index)
        m_alarmRows << new StatusRow(StatusRows::name(Line::Alarm), kAlarmColor, this);
    return m_alarmRows.at(row.index);
}

int StatusArea::rowHeight() const
{
    // Every row as high as the tallest thing one may hold: a line of text, or a button shown.
    int height = fontMetrics().height() + 4;
    for (auto [line, button] : m_buttons.asKeyValueRange()) {
        if (!m_rows.text(line).isEmpty())
            height = std::max(height, button->sizeHint().height());
    }
    return height;
}

int StatusArea::roomIn(const QRect &place) const
{
    return (place.height() - 2 * kMarginY + kSpacing) / (rowHeight() + kSpacing);
}

void StatusArea::lay()
{
    const QList<StatusRows::Row> all = m_rows.rows();
    const QRect place = all.size() <= roomIn(m_lower) ? m_lower : m_whole;
    const StatusRows::Plan plan = m_rows.plan(roomIn(place));
    const int height = rowHeight();
    const int width = place.width() - 2 * kMarginX;

    for (QWidget *each : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        each->hide();
    if (all.isEmpty()) {
        hide();
        return;
    }
    setGeometry(place);

    // Each row's buttons at its right end, the text in what is left.
    const auto placeRow = [&](StatusRow *row, int y, const QList<QPushButton *> &buttons) {
        int right = kMarginX + width;
        for (QPushButton *button : buttons) {
            const int buttonWidth = button->sizeHint().width();
            right -= buttonWidth;
            button->setGeometry(right, y, buttonWidth, height);
            button->show();
            right -= kSpacing;
        }
        row->setGeometry(kMarginX, y, right - kMarginX, height);
        row->show();
    };
    QList<QPushButton *> folded;
    for (auto [line, button] : m_buttons.asKeyValueRange()) {
        const bool first =
            std::any_of(plan.shown.cbegin(), plan.shown.cend(),
                        [line](const StatusRows::Row &row) { return row.line == line; });
        if (!first && !m_rows.text(line).isEmpty())
            folded << button;
    }
    int y = kMarginY;
    for (const StatusRows::Row &row : plan.shown) {
        StatusRow *label = rowFor(row);
        label->say(row.text);
        QList<QPushButton *> buttons;
        if (QPushButton *button = m_buttons.value(row.line); button && row.index == 0)
            buttons << button;
        placeRow(label, y, buttons);
        y += height + kSpacing;
    }
    if (!plan.more.isEmpty()) {
        m_more->say(plan.more, plan.moreTip);
        placeRow(m_more, y, folded);
    }
    show();
}
