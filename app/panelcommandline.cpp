#include "panelcommandline.h"

#include <QCoreApplication>

namespace {

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

QString PanelCommandLine::helpText()
{
    return QCoreApplication::translate(
        "PanelCommandLine",
        "用法: corvane-panel [--port N=DEVICE]... [--drive L=DIR]... [--log FILE]\n"
        "  --port N=DEVICE  通信端口 N 使用设备 DEVICE（例如 --port 1=/dev/ttyUSB0）；\n"
        "                   未指定时端口 N 为 /dev/ttyS{N-1}\n"
        "  --drive L=DIR    记录文件的驱动器 L: 使用文件夹 DIR（例如 --drive "
        "d=/home/lab/records）；\n"
        "                   未指定时驱动器 d: 为 /mnt/d\n"
        "  --log FILE       把每个当前压力读数连同时间追加到文件 FILE（每行“时间<TAB>读数”）\n"
        "  --help           显示本说明\n");
}

bool PanelCommandLine::fail(const QString &text)
{
    m_errorText = text;
    return false;
}

bool PanelCommandLine::parse(const QStringList &arguments)
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("PanelCommandLine", text);
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString option = arguments.at(i);
        QString value;
        if (option == u"--help" || option == u"-h") {
            m_helpRequested = true;
            continue;
        }
        if (const qsizetype equals = option.indexOf(u'='); option.startsWith(u"--") && equals > 0) {
            value = option.mid(equals + 1);
            option.truncate(equals);
        } else if (option == u"--port" || option == u"--drive" || option == u"--log") {
            if (i + 1 >= arguments.size())
                return fail(tr("选项 %1 缺少参数").arg(option));
            value = arguments.at(++i);
        }

        QString key;
        QString target;
        if (option == u"--port") {
            if (!splitAssignment(value, &key, &target))
                return fail(tr("--port 的参数“%1”应为 N=设备，例如 1=/dev/ttyUSB0").arg(value));
            bool ok = false;
            const int port = key.toInt(&ok);
            if (!ok || port < 1 || port > 32767)
                return fail(tr("--port 的端口号“%1”无效：应为 1 到 32767 的整数").arg(key));
            m_portDevices.insert(port, target);
        } else if (option == u"--drive") {
            if (!splitAssignment(value, &key, &target))
                return fail(
                    tr("--drive 的参数“%1”应为 盘符=文件夹，例如 d=/home/lab/records").arg(value));
            if (key.endsWith(u':'))
                key.chop(1);
            if (key.size() != 1 || !key.at(0).isLetter() || key.at(0).unicode() > 0x7f)
                return fail(tr("--drive 的盘符“%1”无效：应为一个字母").arg(key));
            m_driveFolders.insert(key.at(0).toLower(), target);
        } else if (option == u"--log") {
            if (value.isEmpty())
                return fail(tr("--log 需要一个文件名"));
            m_logFile = value;
        } else {
            return fail(tr("未知的选项“%1”").arg(arguments.at(i)));
        }
    }
    return true;
}
