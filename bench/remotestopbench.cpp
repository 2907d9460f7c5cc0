// A remote Stop to its frame on the line: a SiLA 2 client over TLS on loopback holds the lease
// and sends Stop at 18 calls a second (just under the 20 one client may make), the panel's server
// hands each to the panel's thread, and the frame is read off a pseudo-terminal standing in for the
// pump's line. Prints the time from the call to the frame's last byte: median, p99 and the worst.
//
//   corvane-bench-remote [--calls N]

#include "app/form1.h"
#include "app/remotecontrol.h"
#include "link/linkprotocol.h"
#include "platform/serialcontrol.h"
#include "tests/support/scriptedboxes.h"
#include "tools/pty/pseudoterminal.h"

#include "LockController.grpc.pb.h"
#include "PumpControl.grpc.pb.h"

#include <QAction>
#include <QApplication>
#include <QSocketNotifier>

#include <grpcpp/grpcpp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

namespace fw = sila2::org::silastandard;
namespace lc = sila2::org::silastandard::core::lockcontroller::v2;
namespace pc = sila2::org::corvane::pump::pumpcontrol::v1;

using Clock = std::chrono::steady_clock;
// A little under the 20 calls a second one client may make, so that jitter is not refused.
constexpr auto kCallSpacing = std::chrono::milliseconds(55);
constexpr double kTargetP99Ms = 20;
const QByteArray kStop(LinkProtocol::kStopFrame);

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0
                          : values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

} // namespace

int main(int argc, char *argv[])
{
    int calls = 1000;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--calls")
            calls = std::max(1, atoi(argv[i + 1]));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    PseudoTerminal line;
    QString error;
    if (!line.open(&error)) {
        std::fprintf(stderr, "corvane-bench-remote: %s\n", qPrintable(error));
        return 1;
    }
    ScriptedBoxes boxes;
    Form1 form(&boxes);
    form.serialControl()->setPortMap({{1, line.slavePath()}});
    boxes.answers << QStringLiteral("1");
    form.findChild<QAction *>(QStringLiteral("Communication"))->trigger();
    if (const QString problem = form.remoteControl()->start(0); !problem.isEmpty()) {
        std::fprintf(stderr, "corvane-bench-remote: %s\n", qPrintable(problem));
        return 1;
    }

    // When each stop frame's last byte was read off the line.
    std::mutex mutex;
    std::vector<Clock::time_point> sentAt(static_cast<size_t>(calls));
    std::vector<Clock::time_point> onLine;
    QByteArray read;
    QSocketNotifier notifier(line.masterFd(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        read += line.readAvailable();
        const Clock::time_point now = Clock::now();
        for (qsizetype at; (at = read.indexOf(kStop)) >= 0;) {
            read.remove(0, at + kStop.size());
            std::lock_guard lock(mutex);
            onLine.push_back(now);
        }
        if (read.size() > 64)
            read = read.right(16);
    });

    std::atomic<int> failed = 0;
    std::thread client([&] {
        grpc::SslCredentialsOptions tls;
        tls.pem_root_certs = form.remoteControl()->certificatePem().toStdString();
        auto channel = grpc::CreateChannel(
            QStringLiteral("127.0.0.1:%1").arg(form.remoteControl()->port()).toStdString(),
            grpc::SslCredentials(tls));
        auto locks = lc::LockController::NewStub(channel);
        auto pump = pc::PumpControl::NewStub(channel);
        {
            grpc::ClientContext context;
            lc::LockServer_Parameters lock;
            lock.mutable_lockidentifier()->set_value("bench");
            lock.mutable_timeout()->set_value(600);
            lc::LockServer_Responses none;
            if (!locks->LockServer(&context, lock, &none).ok())
                failed = calls;
        }
        lc::Metadata_LockIdentifier metadata;
        metadata.mutable_lockidentifier()->set_value("bench");
        const std::string identifier = metadata.SerializeAsString();
        Clock::time_point next = Clock::now() + kCallSpacing;
        for (int i = 0; i < calls && failed == 0; ++i) {
            std::this_thread::sleep_until(next);
            next += kCallSpacing;
            grpc::ClientContext context;
            context.AddMetadata(
                "sila-org.silastandard-core-lockcontroller-v2-metadata-lockidentifier-bin",
                identifier);
            pc::Stop_Responses reply;
            {
                std::lock_guard lock(mutex);
                sentAt[size_t(i)] = Clock::now();
            }
            if (!pump->Stop(&context, pc::Stop_Parameters(), &reply).ok())
                ++failed;
        }
        QMetaObject::invokeMethod(
            &app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    app.exec();
    client.join();
    // The last frames may still be on their way.
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::vector<double> ms;
    {
        std::lock_guard lock(mutex);
        for (size_t i = 0; i < std::min(onLine.size(), sentAt.size()); ++i)
            ms.push_back(std::chrono::duration<double, std::milli>(onLine[i] - sentAt[i]).count());
    }
    std::printf("remote Stop to the frame on the line, TLS on loopback, %d calls at 18 a second\n",
                calls);
    std::printf("  frames on the line %zu, calls failed %d\n", ms.size(), int(failed));
    std::printf("  median %.2f ms, p99 %.2f ms (target under %.0f ms), worst %.2f ms\n",
                percentile(ms, 0.5), percentile(ms, 0.99), kTargetP99Ms,
                ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()));
    form.remoteControl()->stop();
    return failed == 0 && int(ms.size()) == calls ? 0 : 1;
}
