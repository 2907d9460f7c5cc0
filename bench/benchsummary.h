#pragma once

#include <QList>
#include <QString>

#include <optional>

// The closing table of a bench run: per figure its value, the reference it was measured against
// in the same run, their ratio, the target and whether the figure meets it. Figures without a
// target are shown for information.
class BenchSummary
{
public:
    struct Row
    {
        QString figure;
        QString value;
        QString reference;
        QString ratio;
        QString target;
        std::optional<bool> meets; // empty: no target, or the figure is missing
    };

    void add(const Row &row) { m_rows.append(row); }
    void print() const;
    int missed() const;

private:
    QList<Row> m_rows;
};
