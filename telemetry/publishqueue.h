#pragma once

#include <QByteArray>
#include <QString>

#include <deque>
#include <optional>

// The messages that must reach the broker (QoS 1), in the order they were made, kept until the
// broker has acknowledged each: while it is away they wait, at most kLimit of them; when full,
// the oldest event goes first (the retained state and alarms are worth more), and each loss is
// counted. A connection that ends puts what was in flight back in front, in order.
class PublishQueue
{
public:
    static constexpr qsizetype kLimit = 10'000;

    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retain = false;
        bool droppable = false; // an event line: lost first when the queue is full
    };

    void push(Message message);
    // The next message to send; none while all are in flight.
    std::optional<Message> next() const;
    // That message went out under `token`: it is in flight until acknowledged.
    void sent(int token);
    // The broker has it.
    void acknowledged(int token);
    // The connection ended: what was in flight is sent again, first.
    void connectionLost();

    qsizetype size() const { return qsizetype(m_messages.size()); }
    qsizetype inFlight() const { return m_inFlight; }
    quint64 dropped() const { return m_dropped; }

private:
    struct Entry
    {
        Message message;
        std::optional<int> token; // in flight under this token
    };

    std::deque<Entry> m_messages; // in flight first, then waiting
    qsizetype m_inFlight = 0;
    quint64 m_dropped = 0;
};
