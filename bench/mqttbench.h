#pragma once

#include <QString>

#include <vector>

// The panel's publishing class against a broker of the bench's own: many panels at once at a
// brisk pace for latency and loss, and one at the real poll rate for the CPU it adds.
namespace MqttBench {

struct Result
{
    int publishers = 0;
    qint64 readingsSent = 0;
    qint64 readingsReceived = 0;
    qint64 eventsSent = 0;     // QoS 1: each must arrive
    qint64 eventsReceived = 0; // distinct ones
    std::vector<double> latenciesMs;
    double idleCpuPercent = 0; // one publisher at the real poll rate, whole process
    QString error;
};

Result run(int publishers, double readingsPerSecond, double seconds, double idleSeconds);

} // namespace MqttBench
