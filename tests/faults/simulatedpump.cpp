#include "tests/faults/simulatedpump.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/prctl.h>

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr char kListening[] = "corvane-pumpsim: listening on ";
constexpr char kSentLog[] = "sent.log";
constexpr char kReceivedLog[] = "received.log";

QByteArrayList lines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArrayList result = file.readAll().split('\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

// The log shows bytes outside printable ASCII, and the backslash, as \xNN.
QByteArray unescaped(const QByteArray &text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == '\\' && i + 3 < text.size() && text.at(i + 1) == 'x') {
            bytes += char(text.mid(i + 2, 2).toInt(nullptr, 16));
            i += 3;
        } else {
            bytes += text.at(i);
        }
    }
    return bytes;
}

} // namespace

SimulatedPump::SimulatedPump(const QString &folder) : m_folder(folder)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Goes with the test should the test be killed.
    m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

SimulatedPump::~SimulatedPump()
{
    m_process.terminate();
    m_process.waitForFinished(kStartTimeoutMs);
}

bool SimulatedPump::start(const QStringList &options, QString *error)
{
    const QDir folder(m_folder);
    m_process.start(QStringLiteral(PUMPSIM_EXECUTABLE),
                    options + QStringList{QStringLiteral("--sent-log"),
                                          folder.filePath(QLatin1String(kSentLog)),
                                          QStringLiteral("--log"),
                                          folder.filePath(QLatin1String(kReceivedLog))});
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(kStartTimeoutMs)) {
            *error = QStringLiteral("no answer from %1: %2")
                         .arg(QStringLiteral(PUMPSIM_EXECUTABLE), m_process.errorString());
            return false;
        }
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith(kListening)) {
        *error = QStringLiteral("unexpected first line: ") + QString::fromLocal8Bit(line);
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(line.mid(qsizetype(sizeof kListening) - 1));
    return true;
}

QList<SimulatedPump::Write> SimulatedPump::writes() const
{
    QList<Write> result;
    for (const QByteArray &line : lines(QDir(m_folder).filePath(QLatin1String(kSentLog)))) {
        const qsizetype space = line.indexOf(' ');
        result << Write{
            QDateTime::fromString(QString::fromLatin1(line.left(space)), Qt::ISODateWithMs),
            unescaped(line.mid(space + 1))};
    }
    return result;
}

QStringList SimulatedPump::sentReadings() const
{
    QByteArray stream;
    for (const Write &write : writes())
        stream += write.bytes;
    QStringList readings;
    for (qsizetype i = 0; i + 9 <= stream.size();) {
        if (stream.at(i) == 'Q' && stream.at(i + 8) == 'Y') {
            if (stream.at(i + 3) == 'N')
                readings << QString::fromLatin1(stream.mid(i + 4, 4));
            i += 9;
        } else {
            ++i;
        }
    }
    return readings;
}

QStringList SimulatedPump::receivedLog() const
{
    QStringList result;
    for (const QByteArray &line : lines(QDir(m_folder).filePath(QLatin1String(kReceivedLog))))
        result << QString::fromLatin1(line);
    return result;
}
