#pragma once

#include <QChar>
#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>

// The panel's command line. Every option is optional; without them port N is the system's
// N-th serial port, drive d: a folder in the user's documents, and the reading log a file a
// day in the user's data folder:
//   --port N=DEVICE   serial port number N is DEVICE (repeatable)
//   --drive L=DIR     drive letter L of the record file is the folder DIR (repeatable)
//   --log FILE        append every reading and event, with its time, to FILE
//   --no-log          keep no reading log
//   -h, --help        -v, --version
// Qt's own options (-platform offscreen, --style Fusion, -reverse, ...) are accepted and left
// for QApplication, which reads them from the same argv; they are skipped here exactly as Qt
// reads them, so that their values are never taken for the panel's arguments. parse() needs no
// application object, so a wrong command line is answered without a display.
class PanelCommandLine
{
public:
    // False when the arguments do not parse; errorText() says why, in Chinese.
    bool parse(const QStringList &arguments);

    bool helpRequested() const { return m_helpRequested; }
    bool versionRequested() const { return m_versionRequested; }
    QString errorText() const { return m_errorText; }
    // In English for users whose locale asks for another language than Chinese; in Chinese
    // otherwise, the unset (C) locale included.
    static QString helpText(const QLocale &locale = QLocale::system());
    // The program's name and version, one line.
    static QString versionText();

    QHash<int, QString> portDevices() const { return m_portDevices; }
    QHash<QChar, QString> driveFolders() const { return m_driveFolders; }
    // Empty: the default log, unless noLog().
    QString logFile() const { return m_logFile; }
    bool noLog() const { return m_noLog; }

private:
    bool fail(const QString &text);
    bool takePortDevice(const QString &value);
    bool takeDriveFolder(const QString &value);

    bool m_helpRequested = false;
    bool m_versionRequested = false;
    QString m_errorText;
    QHash<int, QString> m_portDevices;
    QHash<QChar, QString> m_driveFolders;
    QString m_logFile;
    bool m_noLog = false;
};
