#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class RemoteControl;

// 远程控制…: turns the SiLA 2 server on or off on its port (kept in the settings store and
// used again at the next start), shows the certificate's fingerprint for clients to pin and
// who holds the lease, and lets the operator take control back (收回控制) at any time.
class RemoteControlDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kDefaultPort = 50052;

    // What the store keeps of remote control.
    struct Stored
    {
        bool enabled = false;
        int port = kDefaultPort;
    };
    static Stored stored();
    static void store(const Stored &stored);

    RemoteControlDialog(RemoteControl *remote, QWidget *parent = nullptr);

private:
    void toggle(bool on);
    void refresh();

    RemoteControl *m_remote;
    QCheckBox *m_enabled;
    QSpinBox *m_port;
    QLabel *m_fingerprint;
    QLabel *m_state;
    QPushButton *m_takeBack;
};
