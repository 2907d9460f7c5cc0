#pragma once

#include <QChar>
#include <QHash>
#include <QString>
#include <QStringList>

// The panel's command line. Both options are optional; without them the panel behaves as
// designed (port N is the system's N-th serial port, drive d: is /mnt/d):
//   --port N=DEVICE   serial port number N is DEVICE (repeatable)
//   --drive L=DIR     drive letter L of the record file is the folder DIR (repeatable)
//   --log FILE        append every current-pressure reading, with its time, to FILE
class PanelCommandLine
{
public:
    // False when the arguments do not parse; errorText() says why.
    bool parse(const QStringList &arguments);

    bool helpRequested() const { return m_helpRequested; }
    QString errorText() const { return m_errorText; }
    static QString helpText();

    QHash<int, QString> portDevices() const { return m_portDevices; }
    QHash<QChar, QString> driveFolders() const { return m_driveFolders; }
    // Empty: no log.
    QString logFile() const { return m_logFile; }

private:
    bool fail(const QString &text);

    bool m_helpRequested = false;
    QString m_errorText;
    QHash<int, QString> m_portDevices;
    QHash<QChar, QString> m_driveFolders;
    QString m_logFile;
};
