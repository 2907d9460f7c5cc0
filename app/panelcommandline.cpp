#include "panelcommandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <array>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("PanelCommandLine", text);
}

// How Qt takes the value of one of its options from argv.
enum class QtValue { None, Next, NextOrJoined };

struct QtOption
{
    const char *name;
    QtValue value;
};

// What QCoreApplication, QGuiApplication, QApplication and the xcb platform read from argv,
// with one dash or two, and what Qt documents for other platforms (Qt ignores those here).
constexpr std::array kQtOptions{
    QtOption{"platform", QtValue::Next},
    QtOption{"platformpluginpath", QtValue::Next},
    QtOption{"platformtheme", QtValue::Next},
    QtOption{"plugin", QtValue::Next},
    QtOption{"qwindowgeometry", QtValue::Next},
    QtOption{"qwindowicon", QtValue::Next},
    QtOption{"qwindowtitle", QtValue::Next},
    QtOption{"session", QtValue::Next},
    QtOption{"display", QtValue::Next},
    QtOption{"geometry", QtValue::Next},
    QtOption{"title", QtValue::Next},
    QtOption{"icon", QtValue::Next},
    QtOption{"name", QtValue::Next},
    QtOption{"visual", QtValue::Next},
    QtOption{"style", QtValue::NextOrJoined},
    QtOption{"stylesheet", QtValue::NextOrJoined},
    QtOption{"qmljsdebugger", QtValue::NextOrJoined},
    QtOption{"fontengine", QtValue::NextOrJoined},
    QtOption{"dialogs", QtValue::NextOrJoined},
    QtOption{"reverse", QtValue::None},
    QtOption{"widgetcount", QtValue::None},
    QtOption{"nograb", QtValue::None},
    QtOption{"dograb", QtValue::None},
    QtOption{"sync", QtValue::None},
    QtOption{"testability", QtValue::None},
};

bool isOption(const QString &argument)
{
    return argument.size() > 1 && argument.startsWith(u'-') && argument != u"--";
}

// "port" for "--port=1=/dev/a", "platform" for "-platform".
QString optionName(const QString &argument)
{
    return argument.mid(argument.startsWith(u"--") ? 2 : 1).section(u'=', 0, 0);
}

// The Qt option that argument names, or null.
const QtOption *qtOption(const QString &argument)
{
    if (!isOption(argument))
        return nullptr;
    const QString name = optionName(argument);
    const auto found = std::find_if(kQtOptions.begin(), kQtOptions.end(), [&](const QtOption &o) {
        return name == QLatin1String(o.name);
    });
    return found == kQtOptions.end() ? nullptr : &*found;
}

// QCommandLineParser explains a failure in English; this names the argument in the panel's
// words. It fails on an unknown option, a value given to a switch, or a value option that
// ends the line.
QString failureText(const QList<QCommandLineOption> &options, const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--")
            break;
        if (!isOption(argument))
            continue;
        const QString name = optionName(argument);
        const QString written = argument.section(u'=', 0, 0);
        const auto known =
            std::find_if(options.begin(), options.end(),
                         [&](const QCommandLineOption &o) { return o.names().contains(name); });
        const bool joined = argument.contains(u'=');
        if (known == options.end())
            return tr("未知的选项“%1”").arg(written);
        if (known->valueName().isEmpty() && joined)
            return tr("选项 %1 不带参数").arg(written);
        if (!known->valueName().isEmpty() && !joined)
            ++i;
    }
    return tr("选项 %1 缺少参数").arg(arguments.last());
}

// Splits "KEY=VALUE" with both sides non-empty.
bool splitAssignment(const QString &text, QString *key, QString *value)
{
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0 || equals == text.size() - 1)
        return false;
    *key = text.left(equals).trimmed();
    *value = text.mid(equals + 1);
    return !key->isEmpty();
}

} // namespace

QString PanelCommandLine::helpText(const QLocale &locale)
{
    if (locale.language() != QLocale::Chinese && locale.language() != QLocale::C) {
        return QStringLiteral(
            "Usage: corvane-panel [options]\n"
            "  --port N=DEVICE  serial port N is the device DEVICE (e.g. --port 1=/dev/ttyUSB0);\n"
            "                   repeatable; without it port N is /dev/ttyS{N-1}\n"
            "  --drive L=DIR    drive L: of the record file is the folder DIR\n"
            "                   (e.g. --drive d=/home/lab/records); repeatable; without it\n"
            "                   drive d: is ~/Documents/corvane-panel, made when first needed\n"
            "  --log FILE       append every reading and event, with its time, to FILE\n"
            "                   (one line each: time<TAB>reading, or #<TAB>time<TAB>event<TAB>text);\n"
            "                   without it they go to a file a day in\n"
            "                   ~/.local/share/corvane/corvane-panel/readings/\n"
            "  --no-log         keep no reading log\n"
            "  -h, --help       show this help\n"
            "  -v, --version    show the program's name and version\n"
            "Qt's own options (e.g. -platform offscreen, -display :1, -style Fusion, -reverse)\n"
            "are passed on to Qt.\n");
    }
    return tr(
        "用法: corvane-panel [选项]\n"
        "  --port N=DEVICE  通信端口 N 使用设备 DEVICE（例如 --port 1=/dev/ttyUSB0），可重复；\n"
        "                   未指定时端口 N 为 /dev/ttyS{N-1}\n"
        "  --drive L=DIR    记录文件的驱动器 L: 使用文件夹 DIR（例如 --drive "
        "d=/home/lab/records），\n"
        "                   可重复；未指定时驱动器 d: 为 ~/Documents/corvane-panel（首次保存时创建）\n"
        "  --log FILE       把每个读数和事件连同时间追加到文件 FILE（每行“时间<TAB>读数”，\n"
        "                   或“#<TAB>时间<TAB>事件<TAB>说明”）；未指定时每天一个文件，位于\n"
        "                   ~/.local/share/corvane/corvane-panel/readings/\n"
        "  --no-log         不记录读数日志\n"
        "  -h, --help       显示本说明\n"
        "  -v, --version    显示程序名和版本号\n"
        "Qt 的选项（例如 -platform offscreen、-display :1、-style Fusion、-reverse）"
        "交给 Qt 处理。\n");
}

QString PanelCommandLine::versionText()
{
    return QStringLiteral("corvane-panel " CORVANE_VERSION "\n");
}

bool PanelCommandLine::fail(const QString &text)
{
    m_errorText = text;
    return false;
}

bool PanelCommandLine::parse(const QStringList &arguments)
{
    // Qt's options stay in argv for QApplication; the rest is the panel's.
    QStringList own = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QtOption *option = qtOption(arguments.at(i));
        if (!option) {
            own << arguments.at(i);
            continue;
        }
        // Qt does nothing with "-platform=xcb" or "-reverse=1": say so rather than let the
        // option silently go unused.
        if (const QString &argument = arguments.at(i); argument.contains(u'=')) {
            const QString written = argument.section(u'=', 0, 0);
            if (option->value == QtValue::None)
                return fail(tr("选项 %1 不带参数").arg(written));
            if (option->value == QtValue::Next)
                return fail(tr("选项 %1 的值要用空格隔开，不能用“=”").arg(written));
            continue;
        }
        // Like Qt, take the next argument as the value whatever it looks like.
        if (option->value != QtValue::None && ++i == arguments.size())
            return fail(tr("选项 %1 缺少参数").arg(arguments.last()));
    }

    QCommandLineParser parser;
    // "-platform" and "-port" are words, not the letters p, l, a, ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("N=DEVICE"));
    const QCommandLineOption drive(QStringLiteral("drive"), QString(), QStringLiteral("L=DIR"));
    const QCommandLineOption log(QStringLiteral("log"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption noLog(QStringLiteral("no-log"), QString());
    const QList<QCommandLineOption> options{help, version, port, drive, log, noLog};
    parser.addOptions(options);

    if (!parser.parse(own))
        return fail(failureText(options, own));
    if (const QStringList extra = parser.positionalArguments(); !extra.isEmpty())
        return fail(tr("多余的参数“%1”：本程序只接受选项").arg(extra.first()));

    m_helpRequested = parser.isSet(help);
    m_versionRequested = parser.isSet(version);
    for (const QString &value : parser.values(port)) {
        if (!takePortDevice(value))
            return false;
    }
    for (const QString &value : parser.values(drive)) {
        if (!takeDriveFolder(value))
            return false;
    }
    if (parser.isSet(log)) {
        m_logFile = parser.value(log);
        if (m_logFile.isEmpty())
            return fail(tr("--log 需要一个文件名"));
    }
    m_noLog = parser.isSet(noLog);
    if (m_noLog && parser.isSet(log))
        return fail(tr("--log 与 --no-log 不能同时使用"));
    return true;
}

bool PanelCommandLine::takePortDevice(const QString &value)
{
    QString key;
    QString device;
    if (!splitAssignment(value, &key, &device))
        return fail(tr("--port 的参数“%1”应为 N=设备，例如 1=/dev/ttyUSB0").arg(value));
    bool ok = false;
    const int number = key.toInt(&ok);
    if (!ok || number < 1 || number > 32767)
        return fail(tr("--port 的端口号“%1”无效：应为 1 到 32767 的整数").arg(key));
    m_portDevices.insert(number, device);
    return true;
}

bool PanelCommandLine::takeDriveFolder(const QString &value)
{
    QString key;
    QString folder;
    if (!splitAssignment(value, &key, &folder))
        return fail(tr("--drive 的参数“%1”应为 盘符=文件夹，例如 d=/home/lab/records").arg(value));
    if (key.endsWith(u':'))
        key.chop(1);
    if (key.size() != 1 || !key.at(0).isLetter() || key.at(0).unicode() > 0x7f)
        return fail(tr("--drive 的盘符“%1”无效：应为一个字母").arg(key));
    m_driveFolders.insert(key.at(0).toLower(), folder);
    return true;
}
