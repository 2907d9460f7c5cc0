#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

// A mosquitto broker of the test's own on three free loopback ports: one plain, one TLS, and
// one TLS whose certificate names another host, all asking for a user and password, no
// persistence. Its certificates come from openssl in the test's folder: a certificate
// authority that signs the broker's certificates, and another that signs nothing the broker
// shows. It can be stopped and started again on the same ports.
// The broker is the program unpacked by scripts/install-deps.sh into the checkout's .deps/
// (or an installed one); the machine's own broker, if any, is never touched.
class MosquittoBroker
{
public:
    static constexpr char kUser[] = "panel";
    static constexpr char kPassword[] = "s3cret pump";

    ~MosquittoBroker() { stop(); }

    // False, with *why, where the broker or openssl cannot be had.
    bool start(QString *why)
    {
        m_program = find(QStringLiteral("sbin/mosquitto"));
        const QString passwd = find(QStringLiteral("bin/mosquitto_passwd"));
        if (m_program.isEmpty() || passwd.isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty()) {
            *why = QStringLiteral("no mosquitto broker or openssl: scripts/install-deps.sh "
                                  "test unpacks the broker into .deps/");
            return false;
        }
        if (!m_dir.isValid() || !makeCertificates(why))
            return false;
        if (!run(passwd, {"-b", "-c", path("passwd"), kUser, kPassword}, why))
            return false;
        m_plainPort = freePort();
        m_tlsPort = freePort();
        m_elsewherePort = freePort();
        QFile config(path("mosquitto.conf"));
        if (!config.open(QIODevice::WriteOnly)) {
            *why = config.errorString();
            return false;
        }
        // Started by root, the broker would become user "mosquitto" (or nobody), who cannot read
        // the test's files: it stays who started it.
        const struct passwd *user = getpwuid(getuid());
        config.write("user " + QByteArray(user ? user->pw_name : "root") + '\n');
        // Small messages are passed on at once, as a lab's broker for dashboards should be set.
        config.write("set_tcp_nodelay true\n");
        config.write(QStringLiteral("allow_anonymous false\npassword_file %1\npersistence false\n"
                                    "log_dest file %2\nlistener %3 127.0.0.1\n"
                                    "listener %4 127.0.0.1\ncafile %5\ncertfile %6\nkeyfile %7\n"
                                    "listener %8 127.0.0.1\ncafile %5\ncertfile %9\n")
                         .arg(path("passwd"), path("broker.log"))
                         .arg(m_plainPort)
                         .arg(m_tlsPort)
                         .arg(path("ca.crt"), path("server.crt"), path("server.key"))
                         .arg(m_elsewherePort)
                         .arg(path("elsewhere.crt"))
                         .toUtf8());
        config.write("keyfile " + path("server.key").toUtf8() + '\n');
        config.close();
        return resume(why);
    }

    // Starts it again after stop(), on the same ports.
    bool resume(QString *why)
    {
        // Goes with the test should the test be killed.
        m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(m_program, {"-c", path("mosquitto.conf")});
        if (!m_process.waitForStarted()) {
            *why = m_process.errorString();
            return false;
        }
        // Ready once it takes connections on both ports.
        for (int i = 0; i < 100; ++i) {
            if (accepts(m_plainPort) && accepts(m_tlsPort) && accepts(m_elsewherePort))
                return true;
            QThread::msleep(50);
        }
        *why = QStringLiteral("the broker did not listen: ") + log() +
               QString::fromLocal8Bit(m_process.readAllStandardError());
        return false;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(5000);
    }

    quint16 plainPort() const { return m_plainPort; }
    quint16 tlsPort() const { return m_tlsPort; }
    // TLS with a certificate the right authority signed for another host.
    quint16 elsewherePort() const { return m_elsewherePort; }
    QString caFile() const { return path("ca.crt"); }
    QString otherCaFile() const { return path("other-ca.crt"); }
    // The authorities' certificates, as the panel holds them once read.
    QByteArray ca() const { return contents(caFile()); }
    QByteArray otherCa() const { return contents(otherCaFile()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString log() const
    {
        QFile file(path("broker.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().right(2000))
                                              : QString();
    }

    // A file with the user and a password, as --mqtt-auth reads it.
    QString authFile(const QString &password = QString::fromLatin1(kPassword)) const
    {
        const QString file = path(QStringLiteral("auth-%1").arg(qHash(password)));
        QFile out(file);
        if (out.open(QIODevice::WriteOnly))
            out.write(QByteArray(kUser) + '\n' + password.toUtf8() + '\n');
        return file;
    }

private:
    static QString find(const QString &relative)
    {
        for (const QString &root :
             {QStringLiteral(CORVANE_SOURCE_DIR "/.deps/mosquitto/usr"), QStringLiteral("/usr")}) {
            const QString candidate = root + u'/' + relative;
            if (QFileInfo(candidate).isExecutable())
                return candidate;
        }
        return {};
    }

    static QByteArray contents(const QString &file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    static quint16 freePort()
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        return server.serverPort();
    }

    static bool accepts(quint16 port)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(200);
    }

    bool run(const QString &program, const QStringList &arguments, QString *why)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(program, arguments);
        if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
            process.exitCode() == 0)
            return true;
        *why = program + u' ' + arguments.join(u' ') + QStringLiteral(": ") +
               QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }

    bool makeCertificates(QString *why)
    {
        const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
        const auto authority = [&](const QString &name) {
            return run(openssl,
                       {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=" + name, "-keyout", name + ".key", "-out", name + ".crt"},
                       why);
        };
        // The broker's key, certified once for this host and once for another.
        const auto certify = [&](const QString &name, const QByteArray &names) {
            QFile extensions(path(name + ".ext"));
            if (!extensions.open(QIODevice::WriteOnly))
                return false;
            extensions.write("subjectAltName=" + names + '\n');
            extensions.close();
            return run(openssl,
                       {"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                        "-CAcreateserial", "-days", "2", "-extfile", name + ".ext", "-out",
                        name + ".crt"},
                       why);
        };
        return authority(QStringLiteral("ca")) && authority(QStringLiteral("other-ca")) &&
               run(openssl,
                   {"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
                    "server.key", "-out", "server.csr"},
                   why) &&
               certify(QStringLiteral("server"), "IP:127.0.0.1,DNS:localhost") &&
               certify(QStringLiteral("elsewhere"), "DNS:elsewhere.invalid");
    }

    QTemporaryDir m_dir;
    QString m_program;
    QProcess m_process;
    quint16 m_plainPort = 0;
    quint16 m_tlsPort = 0;
    quint16 m_elsewherePort = 0;
};
