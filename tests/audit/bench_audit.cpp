// Figures of the audit trail, printed, not checked: how long append() holds the caller's thread,
// and how long a verification of a million records takes. Not a test: run it by hand.
#include "audit/auditline.h"
#include "audit/auditlog.h"
#include "audit/auditverifier.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

void appendFigures(const QString &folder)
{
    constexpr int kRecords = 20000;
    AuditLog log;
    log.open(folder, QStringLiteral("append"), QStringLiteral("bench"), AuditLog::loginName(),
             QStringLiteral("bench"));
    QList<qint64> ns;
    ns.reserve(kRecords);
    QElapsedTimer timer;
    for (int i = 0; i < kRecords; ++i) {
        // Bursts of ten, as a program step or a reconnect makes them, then a pause.
        if (i % 10 == 0)
            QThread::usleep(2000);
        timer.start();
        log.append({.source = QStringLiteral("key"),
                    .what = QStringLiteral("setpoint"),
                    .before = QStringLiteral("0.50"),
                    .beforeFrom = AuditRecord::BeforeFrom::Sent,
                    .after = QStringLiteral("1.00"),
                    .text = QStringLiteral("流量设定")});
        ns.append(timer.nsecsElapsed());
    }
    log.close();
    std::sort(ns.begin(), ns.end());
    std::printf(
        "append on the caller's thread, %d records: p50 %.4f ms, p99 %.4f ms, max %.4f ms\n",
        kRecords, ns[kRecords / 2] / 1e6, ns[kRecords * 99 / 100] / 1e6, ns.last() / 1e6);
}

void verifyFigures(const QString &folder)
{
    constexpr qint64 kRecords = 1000000;
    const QString path = folder + QStringLiteral("/2026-12-07.jsonl");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    AuditRecord record{.source = QStringLiteral("audit"),
                       .what = QStringLiteral("file-start"),
                       .after = QStringLiteral("2026-12-07.jsonl"),
                       .time = QDateTime::currentDateTimeUtc(),
                       .session = QStringLiteral("1b4e28ba-2fa1-41d2-883f-0016d3cca427"),
                       .user = QStringLiteral("lab")};
    QByteArray prev = QByteArray(64, '0');
    for (qint64 seq = 1; seq <= kRecords; ++seq) {
        record.seq = seq;
        record.monoMs = seq * 100;
        QByteArray hash;
        file.write(AuditLine::format(record, prev, &hash));
        prev = hash;
        record.source = QStringLiteral("key");
        record.what = QStringLiteral("setpoint");
        record.before = QStringLiteral("0.50");
        record.beforeFrom = AuditRecord::BeforeFrom::Reply;
        record.after = QStringLiteral("1.00");
        record.text = QStringLiteral("流量 0.50 → 1.00");
    }
    file.close();
    QElapsedTimer timer;
    timer.start();
    const AuditVerifier::Result result = AuditVerifier::verify({path}, std::nullopt);
    std::printf("verify %lld records (%lld MB): %lld ms, exit code %d\n", result.records,
                QFile(path).size() >> 20, timer.elapsed(), result.exitCode);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    appendFigures(dir.path());
    verifyFigures(dir.path());
    return 0;
}
