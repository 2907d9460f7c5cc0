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
const QColor kClearedAlarmColor(190, 190, 190);
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

void StatusArea::setAlarms(const QStringList &texts, const QList<bool> &cleared)
{
    m_rows.setAlarms(texts);
    m_alarmCleared = cleared;
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
    StatusRow *alarmRow = m_alarmRows.at(row.index);
    alarmRow->setColor(m_alarmCleared.value(row.index) ? kClearedAlarmColor : kAlarmColor);
    return alarmRow;
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

QList<QPushButton *> StatusArea::buttonsOf(const StatusRows::Row &row) const
{
    if (QPushButton *button = m_buttons.value(row.line); button && row.index == 0)
        return {button};
    return {};
}

int StatusArea::linesWanted(const StatusRows::Row &row, int width)
{
    if (row.line != Line::Alarm && row.line != Line::Stop && row.line != Line::Run)
        return 1;
    for (const QPushButton *button : buttonsOf(row))
        width -= button->sizeHint().width() + kSpacing;
    StatusRow *label = rowFor(row);
    label->say(row.text);
    return label->linesNeeded(width);
}

void StatusArea::lay()
{
    const QList<StatusRows::Row> all = m_rows.rows();
    const int height = rowHeight();
    const int lineStep = fontMetrics().lineSpacing();
    const int width = m_lower.width() - 2 * kMarginX;
    // What the rows take with every safety row whole.
    QList<int> wanted;
    int wholeHeight = 2 * kMarginY - kSpacing;
    for (const StatusRows::Row &row : all) {
        wanted << linesWanted(row, width);
        wholeHeight += height + (wanted.last() - 1) * lineStep + kSpacing;
    }
    const bool inLower = all.size() <= roomIn(m_lower) && wholeHeight <= m_lower.height();
    const QRect place = inLower ? m_lower : m_whole;
    const StatusRows::Plan plan = m_rows.plan(roomIn(place));

    for (QWidget *each : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        each->hide();
    if (all.isEmpty()) {
        hide();
        return;
    }
    setGeometry(place);

    // The room left under one line a row goes to the safety rows, the most important first.
    int spare = place.height() - 2 * kMarginY + kSpacing -
                int(plan.shown.size() + (plan.more.isEmpty() ? 0 : 1)) * (height + kSpacing);
    QList<int> extra;
    for (qsizetype i = 0; i < plan.shown.size(); ++i) {
        const int lines = std::min<int>(wanted.at(i) - 1, std::max(spare, 0) / lineStep);
        extra << lines;
        spare -= lines * lineStep;
    }

    // Each row's buttons at its right end, the text in what is left.
    const auto placeRow = [&](StatusRow *row, int y, int rowHeight,
                              const QList<QPushButton *> &buttons) {
        int right = kMarginX + width;
        for (QPushButton *button : buttons) {
            const int buttonWidth = button->sizeHint().width();
            right -= buttonWidth;
            button->setGeometry(right, y, buttonWidth, height);
            button->show();
            right -= kSpacing;
        }
        row->setGeometry(kMarginX, y, right - kMarginX, rowHeight);
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
    for (qsizetype i = 0; i < plan.shown.size(); ++i) {
        const StatusRows::Row &row = plan.shown.at(i);
        StatusRow *label = rowFor(row);
        label->say(row.text);
        const int rowHeight = height + extra.at(i) * lineStep;
        placeRow(label, y, rowHeight, buttonsOf(row));
        y += rowHeight + kSpacing;
    }
    if (!plan.more.isEmpty()) {
        m_more->say(plan.more, plan.moreTip);
        placeRow(m_more, y, height, folded);
    }
    show();
}
