#include "audit/commandrecords.h"

#include <array>

namespace {

QString onOff(bool on)
{
    return on ? QStringLiteral("开") : QStringLiteral("关");
}

QString number(double value)
{
    return QString::number(value, 'f', 2);
}

struct EventKind
{
    const char *key;
    const char *source;
};

// The event lines the trail keeps, with where each comes from in the panel.
constexpr std::array kEvents{
    EventKind{"run-set", "定时"},       EventKind{"run-start", "定时"},
    EventKind{"run-pause", "定时"},     EventKind{"run-continue", "定时"},
    EventKind{"run-end", "定时"},       EventKind{"prog-start", "程序"},
    EventKind{"prog-step", "程序"},     EventKind{"prog-pause", "程序"},
    EventKind{"prog-continue", "程序"}, EventKind{"prog-end", "程序"},
    EventKind{"alarm-ack", "报警"},     EventKind{"link-open", "通信"},
    EventKind{"link-closed", "通信"},   EventKind{"save", "文件"},
    EventKind{"save-as", "文件"},       EventKind{"print", "文件"},
    EventKind{"export", "历史曲线"},    EventKind{"prog-load", "程序"},
    EventKind{"prog-edit", "程序"},
    EventKind{"remote-lock", "远程控制"},        EventKind{"remote-unlock", "远程控制"},
    EventKind{"remote-lease-ended", "远程控制"}, EventKind{"remote-refused", "远程控制"},
    EventKind{"remote-taken-back", "远程控制"},
};

} // namespace

AuditRecord CommandRecords::frameSent(const QString &frame, const QString &source)
{
    // "Q" + address(2) + letter + value(4) + "Y"; the session sends no other shape.
    const QString address = frame.mid(1, 2);
    const QChar letter = frame.size() > 3 ? frame.at(3) : QChar();
    const QString value = frame.mid(4, 4);
    AuditRecord record{.source = source, .text = frame};
    if (letter == u'R' || letter == u'S') {
        record.what = letter == u'R' ? QStringLiteral("run") : QStringLiteral("stop");
        return record;
    }
    if (letter != u'L' && letter != u'P') {
        record.what = QStringLiteral("frame");
        return record;
    }
    record.what = letter == u'L' ? QStringLiteral("flow") : QStringLiteral("limit");
    record.after = value;
    const Known sent = m_sent.value(address + letter);
    const Known replied = m_replied.value(letter);
    const Known &newer = sent.order >= replied.order ? sent : replied;
    if (newer.order > 0) {
        record.before = newer.value;
        record.beforeFrom = newer.from;
    }
    m_sent.insert(address + letter, {value, AuditRecord::BeforeFrom::Sent, ++m_order});
    return record;
}

AuditRecord CommandRecords::frameRefused(const QString &frame, const QString &source,
                                         const QString &why)
{
    return {.source = source, .what = QStringLiteral("frame-refused"), .after = frame, .text = why};
}

void CommandRecords::settingReplied(char letter, const QString &value)
{
    m_replied.insert(QChar::fromLatin1(letter), {value, AuditRecord::BeforeFrom::Reply, ++m_order});
}

std::optional<AuditRecord> CommandRecords::event(const QString &key, const QString &text)
{
    for (const EventKind &kind : kEvents) {
        if (key != QLatin1String(kind.key))
            continue;
        AuditRecord record{.source = QString::fromUtf8(kind.source), .what = key, .text = text};
        if (key == u"run-set") {
            record.before = m_runSet;
            record.after = text;
            m_runSet = text;
        }
        return record;
    }
    return std::nullopt;
}

QList<AuditRecord> CommandRecords::alarmSettingsChanged(const AlarmSettings &before,
                                                        const AlarmSettings &after)
{
    QList<AuditRecord> records;
    const auto field = [&](const QString &name, const QString &was, const QString &is) {
        if (was != is)
            records << AuditRecord{.source = QStringLiteral("报警设定"),
                                   .what = QStringLiteral("alarm-setting"),
                                   .before = was,
                                   .after = is,
                                   .text = name};
    };
    const auto pressure = [&](const QString &name, const AlarmSettings::Pressure &was,
                              const AlarmSettings::Pressure &is) {
        field(name, onOff(was.on), onOff(is.on));
        field(name + QStringLiteral("：限值 MPa"), number(was.limit), number(is.limit));
        field(name + QStringLiteral("：停泵"), onOff(was.stop), onOff(is.stop));
    };
    const auto duration = [&](const QString &name, const AlarmSettings::Duration &was,
                              const AlarmSettings::Duration &is) {
        field(name, onOff(was.on), onOff(is.on));
        field(name + QStringLiteral("：秒"), QString::number(was.seconds),
              QString::number(is.seconds));
        field(name + QStringLiteral("：停泵"), onOff(was.stop), onOff(is.stop));
    };
    pressure(QStringLiteral("高压报警"), before.high, after.high);
    pressure(QStringLiteral("低压报警"), before.low, after.low);
    duration(QStringLiteral("无读数报警"), before.silence, after.silence);
    duration(QStringLiteral("线路中断报警"), before.link, after.link);
    return records;
}
