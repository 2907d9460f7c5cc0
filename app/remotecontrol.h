#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <memory>

class AlarmMonitor;
class PanelRemotePump;
class PumpSession;
class QPushButton;
class RemoteDesk;
class RunRecord;
class SilaBoard;
class SilaIdentity;
class SilaServer;
class StatusArea;
class TimedRunControl;

// Remote control of the panel over SiLA 2, composed over the panel's own session, timed run,
// alarms and record: the server (off until started), the desk that decides what a client may
// do, and what the operator sees of it: the remoteState row with its remoteAllow button, and
// the event lines. Every stop at the panel that is not a client's own is the operator's: after
// it, clients may not start the pump until the operator allows it. A timed run or a program
// started at the panel ends a client's lease.
class RemoteControl : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        PumpSession *session;
        TimedRunControl *timedRun;
        AlarmMonitor *alarms;
        RunRecord *record;
        StatusArea *area;
    };

    RemoteControl(const Parts &parts, const QString &dataFolder, const QString &version,
                  QObject *parent = nullptr);
    ~RemoteControl() override;

    // Listens on 127.0.0.1:port (0: a port the system chooses) with the given certificate and
    // key, or the panel's own. Empty when listening; else why not.
    QString start(int port, const QString &certificatePath = QString(),
                  const QString &keyPath = QString());
    void stop();
    bool isRunning() const;
    int port() const;
    // SHA-256 of the certificate served, for clients to pin; empty before a start.
    QString fingerprint() const;
    // The certificate served, in PEM, for a client of the panel's own to trust.
    QByteArray certificatePem() const;
    RemoteDesk *desk() const { return m_desk; }
    // For the published state: whether it serves, the lease and whether remote starts are
    // blocked by the operator's stop; empty while it does not serve.
    QJsonObject stateObject() const;

    // 收回控制: the lease ends now. False when nobody held it.
    bool takeBack();

Q_SIGNALS:
    void runningChanged(bool running);

private:
    void onFrame(const QString &frame, const QString &source);
    void showStatus();
    void post();

    Parts m_parts;
    std::unique_ptr<PanelRemotePump> m_pump;
    RemoteDesk *m_desk;
    std::unique_ptr<SilaBoard> m_board;
    std::unique_ptr<SilaIdentity> m_identity;
    std::unique_ptr<SilaServer> m_server;
    QPushButton *m_allow;
    QString m_pressure;
    QDateTime m_pressureTime;
    QString m_lastCommand;
};
