#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

// What must outlive the panel while a timed run counts: its set time, when it started, the
// device and the pump number. Written whole or not at all when the run starts, removed when it
// ends cleanly, so a journal found at the panel's start is a run its end interrupted (a kill,
// a crash, a power cut, 退出). The file is a small JSON object with a version; what else must
// survive (a pump program's position) goes beside the run under a key of its own, and a reader
// skips keys it does not know. A journal that cannot be read is said, never a crash: it still
// means a run may have been going on.
class RunJournal
{
public:
    static constexpr int kVersion = 1;

    struct Run
    {
        double setMinutes = 0;
        QDateTime startedAt;
        QString device;
        int pumpNumber = 0;

        bool operator==(const Run &) const = default;
    };

    // What a journal holds: a run, or why what is there cannot be read; neither when there is
    // no journal.
    struct Found
    {
        std::optional<Run> run;
        QString problem;

        bool isEmpty() const { return !run && problem.isEmpty(); }
    };

    explicit RunJournal(const QString &path) : m_path(path) {}

    // One journal per settings store: beside its file, named after it.
    static QString besideSettings(const QString &settingsFile);

    QString path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }

    // Empty when written; else why not. What else the journal holds is kept.
    QString write(const Run &run) const;
    // Empty when no run is left in the journal; the file goes with its last section.
    QString clear() const;
    Found read() const;

    // Another section beside the run, under its key (a pump program's position): written,
    // cleared and read as the run is, the rest of the journal kept as it was.
    QString writeSection(const QString &key, const QJsonObject &section) const;
    QString clearSection(const QString &key) const;
    // Empty when there is none, or no journal that can be read.
    QJsonObject section(const QString &key) const;

    static QByteArray encode(const Run &run);
    static Found decode(const QByteArray &bytes);
    // The status area's row of a journal found at start.
    static QString interruptedText(const Found &found, const QString &path);

private:
    QString m_path;
};
