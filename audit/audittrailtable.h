#pragma once

#include "audit/auditverifier.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// One day of the audit trail as a table: the records of every panel instance's file of that
// day, instance by instance (by name), each file's records in the order they stand in it, with
// each instance's chain verified. The rows shown are narrowed by kind and by text, and what is
// shown is written out as CSV that a spreadsheet opens without running any cell as a formula.
// read() does the file work and may run on any thread; the rest belongs to the model's thread.
class AuditTrailTable : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Seq, Time, User, Operator, Source, What, Before, After, Text, ColumnCount };
    // True for the row of the first break of its instance's chain.
    static constexpr int kBrokenRole = Qt::UserRole + 1;

    struct Row
    {
        QString instance;
        qint64 line = 0; // in its file, from 1
        // As shown: JSON escapes decoded, nothing for null. A line that is no record has its
        // bytes in Text and nothing else.
        std::array<QString, ColumnCount> cells;
        bool readable = true;
        bool broken = false;
    };
    struct Chain
    {
        QString instance;
        QString file;
        AuditVerifier::Result result;
    };
    struct Day
    {
        QDate date;
        QList<Row> rows;
        QList<Chain> chains; // one per instance with a file that day
    };

    explicit AuditTrailTable(QObject *parent = nullptr);

    // The days with a file under any instance folder of folder, newest first.
    static QList<QDate> days(const QString &folder);
    // Reads and verifies the day's file of every instance: each file is verified alone, so that
    // picking a day costs that day's records and no more (see the .cpp).
    static Day read(const QString &folder, QDate date);

    void setDay(Day day);
    const Day &day() const { return m_day; }
    // The distinct kinds ("what") of the day, sorted.
    QStringList kinds() const;
    // kind: one kind, or every kind when empty; text: found in any cell or the instance's name,
    // whatever its case.
    void setFilter(const QString &kind, const QString &text);
    // The row of the first break among those shown, or -1.
    int brokenRow() const;
    const Row &shownRow(int row) const { return m_day.rows[m_shown[row]]; }

    // What is shown, as CSV: a header line, then one line per row, each beginning with its
    // instance; UTF-8 with a byte-order mark, lines ending in CRLF.
    QByteArray csv() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    bool matches(const Row &row) const;

    Day m_day;
    QList<qsizetype> m_shown; // indices into m_day.rows
    QString m_kind;
    QString m_text;
};
