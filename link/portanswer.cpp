#include "link/portanswer.h"

#include "link/numbertext.h"

#include <QRegularExpression>
#include <QStringList>

std::optional<PortAnswer> PortAnswer::parse(const QString &answer)
{
    const QString word = answer.trimmed().section(u' ', 0, 0);
    if (word.isEmpty())
        return std::nullopt;
    PortAnswer parsed;
    if (word.front().isDigit() || word.front() == u'-' || word.front() == u'+' ||
        word.front() == u'.') {
        parsed.number = NumberText::toInt16(word);
        return parsed.number ? std::optional(parsed) : std::nullopt;
    }
    if (word.startsWith(u'/')) {
        parsed.device = word;
        return parsed;
    }
    // A bare device name, such as the system lists: ttyUSB0, ttyACM1, COM3 on Windows.
    static const QRegularExpression name(QStringLiteral(R"(^[A-Za-z][A-Za-z0-9_.-]*$)"));
    if (!name.match(word).hasMatch())
        return std::nullopt;
#ifdef Q_OS_WIN
    parsed.device = word;
#else
    parsed.device = QStringLiteral("/dev/") + word;
#endif
    return parsed;
}

QString PortAnswer::listEntry(const SerialPortRecord &port)
{
    QStringList about{port.description, port.serialNumber};
    about.removeAll(QString());
    return about.isEmpty() ? port.systemLocation
                           : port.systemLocation + QStringLiteral("  ") + about.join(u' ');
}

QStringList PortAnswer::choices(const QString &last, const QList<SerialPortRecord> &ports)
{
    QStringList choices;
    if (!last.isEmpty())
        choices << last;
    for (const SerialPortRecord &port : ports) {
        if (port.systemLocation != last)
            choices << listEntry(port);
    }
    return choices;
}
