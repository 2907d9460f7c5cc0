#include "timedrun/runjournal.h"

#include "files/atomicfile.h"
#include "files/boundedread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace {

const QString kVersionKey = QStringLiteral("version");
const QString kRunKey = QStringLiteral("timedRun");

QJsonObject runObject(const RunJournal::Run &run)
{
    // The start with its offset from UTC, so that a clock or zone changed meanwhile does not
    // move it.
    const QDateTime started = run.startedAt.toOffsetFromUtc(run.startedAt.offsetFromUtc());
    return {{QStringLiteral("setMinutes"), run.setMinutes},
            {QStringLiteral("startedAt"), started.toString(Qt::ISODateWithMs)},
            {QStringLiteral("device"), run.device},
            {QStringLiteral("pumpNumber"), run.pumpNumber}};
}

// Someone may have put a FIFO or a huge file in the journal's place: read as any small state
// file is, never waiting on it for long.
BoundedRead::Result readJournal(const QString &path)
{
    return BoundedRead::within(path, BoundedRead::kStateBytes);
}

// The journal as it is, to change one section of it; a file that cannot be read is replaced.
QJsonObject readWhole(const QString &path)
{
    const BoundedRead::Result read = readJournal(path);
    return read.bytes ? QJsonDocument::fromJson(*read.bytes).object() : QJsonObject();
}

QString written(const QString &path, const QJsonObject &journal)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("定时运行记录 %1 无法写入：无法创建文件夹")
            .arg(QDir::toNativeSeparators(path));
    const AtomicFile::Result result = AtomicFile::write(path, QJsonDocument(journal).toJson());
    return result ? QString()
                  : QStringLiteral("定时运行记录 %1 无法写入：%2")
                        .arg(QDir::toNativeSeparators(path), result.reason);
}

} // namespace

QString RunJournal::besideSettings(const QString &settingsFile)
{
    const QFileInfo settings(settingsFile);
    return settings.dir().filePath(settings.completeBaseName() + QStringLiteral(".run.json"));
}

QByteArray RunJournal::encode(const Run &run)
{
    return QJsonDocument(QJsonObject{{kVersionKey, kVersion}, {kRunKey, runObject(run)}}).toJson();
}

RunJournal::Found RunJournal::decode(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (!document.isObject())
        return {std::nullopt, error.error == QJsonParseError::NoError
                                  ? QStringLiteral("不是定时运行记录")
                                  : error.errorString()};
    const QJsonObject journal = document.object();
    // A later panel may add keys and raise the version; the run keeps its shape.
    if (journal.value(kVersionKey).toInt() < 1)
        return {std::nullopt, QStringLiteral("没有版本号")};
    // A journal of something else alone (a program's position) holds no run.
    if (!journal.contains(kRunKey))
        return {};
    const QJsonObject run = journal.value(kRunKey).toObject();
    const QJsonValue minutes = run.value(QStringLiteral("setMinutes"));
    const QDateTime started =
        QDateTime::fromString(run.value(QStringLiteral("startedAt")).toString(), Qt::ISODateWithMs);
    const QJsonValue device = run.value(QStringLiteral("device"));
    const QJsonValue pump = run.value(QStringLiteral("pumpNumber"));
    if (!minutes.isDouble() || !started.isValid() || !device.isString() || !pump.isDouble())
        return {std::nullopt, QStringLiteral("定时运行的内容不全")};
    return {Run{minutes.toDouble(), started, device.toString(), pump.toInt()}, QString()};
}

QString RunJournal::write(const Run &run) const
{
    return writeSection(kRunKey, runObject(run));
}

QString RunJournal::clear() const
{
    return clearSection(kRunKey);
}

QJsonObject RunJournal::section(const QString &key) const
{
    return readWhole(m_path).value(key).toObject();
}

QString RunJournal::writeSection(const QString &key, const QJsonObject &section) const
{
    QJsonObject journal = readWhole(m_path);
    journal.insert(kVersionKey, kVersion);
    journal.insert(key, section);
    return written(m_path, journal);
}

QString RunJournal::clearSection(const QString &key) const
{
    QFile file(m_path);
    if (!file.exists())
        return {};
    QJsonObject journal = readWhole(m_path);
    journal.remove(key);
    journal.remove(kVersionKey);
    if (journal.isEmpty()) {
        if (file.remove())
            return {};
        return QStringLiteral("定时运行记录 %1 无法删除：%2")
            .arg(QDir::toNativeSeparators(m_path), file.errorString());
    }
    journal.insert(kVersionKey, kVersion);
    return written(m_path, journal);
}

RunJournal::Found RunJournal::read() const
{
    const BoundedRead::Result read = readJournal(m_path);
    if (read.missing)
        return {};
    if (!read.bytes)
        return {std::nullopt, read.problem};
    return decode(*read.bytes);
}

QString RunJournal::interruptedText(const Found &found, const QString &path)
{
    if (found.isEmpty())
        return {};
    const QString mayRun = QStringLiteral("泵可能仍在运行");
    if (!found.run)
        return QStringLiteral("%3：定时运行记录 %1 无法读取（%2），上次定时运行可能被中断")
            .arg(QDir::toNativeSeparators(path), found.problem, mayRun);
    const Run &run = *found.run;
    return QStringLiteral("%5：定时运行被中断，%1 开始，设定 %2 分，设备 %3，泵编号 %4")
        .arg(run.startedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
             QLocale().toString(run.setMinutes),
             run.device.isEmpty() ? QStringLiteral("未打开") : run.device,
             QString::number(run.pumpNumber), mayRun);
}
