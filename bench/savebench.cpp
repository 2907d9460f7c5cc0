#include "bench/savebench.h"

#include "records/recordbuffer.h"
#include "records/recordfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace SaveBench {

namespace {

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

Result run(const QString &name, double (*reading)(qint32 i), qint32 added, const QString &folder,
           int rounds)
{
    Result result;
    result.name = name;
    RecordBuffer buffer;
    for (qint32 i = 0; i < added; ++i)
        buffer.add(reading(i));
    const QString savePath = QDir(folder).filePath(QStringLiteral("mytext.txt"));
    const QString plainPath = QDir(folder).filePath(QStringLiteral("plain.txt"));

    result.textMs = result.saveMs = result.plainMs = std::numeric_limits<double>::infinity();
    QByteArray written;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        written = buffer.text();
        result.textMs = std::min(result.textMs, elapsedMs(timer));

        timer.start();
        const QByteArray text = buffer.text();
        RecordFile file(savePath);
        if (!file.save(text)) {
            result.error = file.errorText();
            return result;
        }
        result.saveMs = std::min(result.saveMs, elapsedMs(timer));

        timer.start();
        QFile plain(plainPath);
        if (!plain.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            plain.write(written) != written.size() || !plain.flush()) {
            result.error = plain.errorString();
            return result;
        }
        plain.close();
        result.plainMs = std::min(result.plainMs, elapsedMs(timer));
    }
    result.bytes = written.size();
    if (QFileInfo(savePath).size() != result.bytes)
        result.error = QStringLiteral("the record file does not hold the text");
    return result;
}

} // namespace SaveBench
