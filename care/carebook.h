#pragma once

#include "care/carecounter.h"
#include "care/caretally.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

// What the counter file of one adapter holds: the counters, a limit for each (none until the
// lab sets one), the last service of each (when, who, and a remark), and the last flow known,
// so that a run after the panel's restart is counted at the flow the pump was left at. The file
// is a small JSON object with a format number; one of a newer format, or one that does not read
// as this, is refused whole, never half read.
struct CareBook
{
    static constexpr int kFormat = 1;
    // A limit is above 0 and at most this.
    static constexpr double kMostLimit = 1e9;
    // From this share of a limit on, the part is said to be nearly due.
    static constexpr int kWarnPercent = 90;

    struct Service
    {
        QDateTime time; // invalid: never serviced
        QString who;
        QString remark;
        bool operator==(const Service &) const = default;
    };

    QString adapter;
    CareTally::Values values{};
    std::array<std::optional<double>, CareCounter::kCount> limits{};
    std::array<Service, CareCounter::kCount> services{};
    std::optional<double> flowMlPerMin;

    bool operator==(const CareBook &) const = default;

    // Share of the limit used, whole percent rounded down; none without a limit.
    std::optional<int> percent(CareCounter::Kind kind) const;
    // 0 below the warning, 1 nearly due, 2 due.
    int level(CareCounter::Kind kind) const;
    // The status area's row: the part nearest its limit (and how many more are near theirs);
    // empty while none is at 90 %.
    QString dueText() const;
    // The counters as one line of text, for the history window and the run report.
    QString summary() const;

    QByteArray encode() const;
    // Nothing, and why not for the operator, for bytes that are no counter file of this format.
    static std::optional<CareBook> decode(const QByteArray &bytes, QString *problem);

    // A limit as typed: none for an empty text; else above 0 and at most kMostLimit. A problem
    // naming the field otherwise.
    static std::optional<double> parseLimit(CareCounter::Kind kind, const QString &text,
                                            QString *problem);
};
