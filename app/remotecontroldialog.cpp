#include "app/remotecontroldialog.h"

#include "app/remotecontrol.h"
#include "remote/remotedesk.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

RemoteControlDialog::Stored RemoteControlDialog::stored()
{
    QSettings settings;
    Stored kept;
    kept.enabled = settings.value(QStringLiteral("remote/enabled"), false).toBool();
    bool number = false;
    const int port = settings.value(QStringLiteral("remote/port")).toInt(&number);
    if (number && port > 0 && port <= 65535)
        kept.port = port;
    return kept;
}

void RemoteControlDialog::store(const Stored &stored)
{
    QSettings settings;
    settings.setValue(QStringLiteral("remote/enabled"), stored.enabled);
    settings.setValue(QStringLiteral("remote/port"), stored.port);
}

RemoteControlDialog::RemoteControlDialog(RemoteControl *remote, QWidget *parent)
    : QDialog(parent), m_remote(remote),
      m_enabled(new QCheckBox(tr("允许 SiLA 2 客户端控制泵（仅本机 127.0.0.1，TLS）"), this)),
      m_port(new QSpinBox(this)), m_fingerprint(new QLabel(this)), m_state(new QLabel(this)),
      m_takeBack(new QPushButton(tr("收回控制"), this))
{
    setWindowTitle(tr("远程控制"));
    m_enabled->setObjectName(QStringLiteral("remoteEnabled"));
    m_port->setObjectName(QStringLiteral("remotePort"));
    m_port->setRange(1, 65535);
    m_port->setValue(remote->isRunning() ? remote->port() : stored().port);
    m_fingerprint->setObjectName(QStringLiteral("remoteFingerprint"));
    m_fingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_fingerprint->setWordWrap(true);
    m_state->setObjectName(QStringLiteral("remoteLease"));
    m_state->setWordWrap(true);
    m_takeBack->setObjectName(QStringLiteral("remoteTakeBack"));

    auto *form = new QFormLayout;
    form->addRow(tr("端口："), m_port);
    form->addRow(tr("证书指纹（SHA-256）："), m_fingerprint);
    form->addRow(tr("租约："), m_state);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_enabled);
    layout->addLayout(form);
    layout->addWidget(m_takeBack, 0, Qt::AlignLeft);
    layout->addWidget(buttons);

    m_enabled->setChecked(remote->isRunning());
    connect(m_enabled, &QCheckBox::toggled, this, &RemoteControlDialog::toggle);
    connect(m_takeBack, &QPushButton::clicked, remote, &RemoteControl::takeBack);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(remote->desk(), &RemoteDesk::statusChanged, this, &RemoteControlDialog::refresh);
    connect(remote, &RemoteControl::runningChanged, this, &RemoteControlDialog::refresh);
    refresh();
}

void RemoteControlDialog::toggle(bool on)
{
    if (on == m_remote->isRunning())
        return;
    if (!on) {
        // Turning it off ends the lease first: the client is told, and the event line says so.
        m_remote->stop();
    } else if (const QString problem = m_remote->start(m_port->value()); !problem.isEmpty()) {
        m_state->setText(problem);
        const QSignalBlocker blocker(m_enabled);
        m_enabled->setChecked(false);
        return;
    }
    store({on, m_port->value()});
}

void RemoteControlDialog::refresh()
{
    const bool running = m_remote->isRunning();
    m_port->setEnabled(!running);
    m_fingerprint->setText(running ? m_remote->fingerprint() : tr("（未启用）"));
    const QString lease = m_remote->desk()->statusText();
    m_state->setText(running ? (lease.isEmpty() ? tr("无客户端持有") : lease) : QString());
    m_takeBack->setEnabled(running && m_remote->desk()->isLocked());
}
