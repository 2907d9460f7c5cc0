// The input is a session at the keypad, one byte a key: "L" and "P" start entries, "0".."9"
// are digits, "N" takes the next byte as the pump number (0..99), "[text]" and "{text}" put
// text into the flow and the pressure box by hand (UTF-8). Other bytes are ignored. After every
// key the keypad's promises must hold.
#include "entry/keypad.h"
#include "link/commandframe.h"
#include "tests/fuzz/fuzzcheck.h"

#include <cstdint>

namespace {

constexpr int kPumpNumbers = 100;

struct Session
{
    Keypad keypad;
    Keypad::Boxes boxes;
    QString lastFrame;

    void apply(const Keypad::Outcome &outcome, bool wasFlow, bool wasPressure)
    {
        check(outcome.frame.isEmpty() || outcome.errorPrompt.isEmpty(),
              "a key asks for a frame or an error box, not both");
        if (!outcome.frame.isEmpty())
            checkFrame(outcome.frame, wasFlow, wasPressure);
        if (!outcome.errorPrompt.isEmpty())
            check(outcome.errorPrompt == QString::fromUtf8(Keypad::kFlowErrorPrompt) ||
                      outcome.errorPrompt == QString::fromUtf8(Keypad::kPressureErrorPrompt),
                  "an error box is one of the two setpoint errors");
        boxes = outcome.boxes;
        check(!(keypad.lq() == 1 && keypad.pr() == 1), "never two entries at once");
        check(keypad.setliqstr() == lastFrame.mid(1), "setliqstr is the last frame without Q");
    }

    void checkFrame(const QString &frame, bool wasFlow, bool wasPressure)
    {
        check(frame.size() == 9 && isWellFormedFrame(frame), "a frame is well formed");
        check(frame.mid(1, 2) == addressField(keypad.pumpNumber()), "a frame carries the pump");
        const QString value = frame.mid(4, 4);
        bool number = false;
        if (frame[3] == u'L') {
            check(wasFlow, "a flow frame ends a flow entry");
            const int flow = value.toInt(&number);
            check(number && flow >= 0 && flow <= Keypad::kFlowLimit, "a flow frame is in limits");
        } else {
            check(frame[3] == u'P' && wasPressure, "a pressure frame ends a pressure entry");
            const double pressure = value.toDouble(&number);
            check(number && value[2] == u'.' && pressure >= 0 && pressure <= Keypad::kPressureLimit,
                  "a pressure frame is in limits");
        }
        lastFrame = frame;
    }

    void key(char k)
    {
        const bool flow = keypad.lq() == 1;
        const bool pressure = keypad.pr() == 1;
        if (k == 'L') {
            apply(keypad.pressL(boxes), flow, pressure);
        } else if (k == 'P') {
            apply(keypad.pressP(boxes), flow, pressure);
        } else if (k >= '0' && k <= '9') {
            const Keypad::Outcome outcome = keypad.pressDigit(k - '0', boxes);
            apply(outcome, flow, pressure);
            const bool ended = (flow && keypad.lq() == 0) || (pressure && keypad.pr() == 0);
            check(!ended || !outcome.frame.isEmpty() || !outcome.errorPrompt.isEmpty(),
                  "an entry ends with a frame or an error box");
            check(keypad.lq() == 0 || boxes.lqset.size() < 4, "a full flow box ends its entry");
            check(keypad.pr() == 0 || boxes.prset.size() < 4, "a full pressure box ends its entry");
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    Session session;
    for (qsizetype i = 0; i < input.size(); ++i) {
        const char k = input[i];
        if (k == 'N' && i + 1 < input.size()) {
            session.keypad.setPumpNumber(qint16(quint8(input[++i]) % kPumpNumbers));
        } else if (k == '[' || k == '{') {
            const qsizetype close = input.indexOf(k == '[' ? ']' : '}', i + 1);
            const qsizetype end = close < 0 ? input.size() : close;
            const QString text = QString::fromUtf8(input.mid(i + 1, end - i - 1));
            (k == '[' ? session.boxes.lqset : session.boxes.prset) = text;
            i = end;
        } else {
            session.key(k);
        }
    }
    return 0;
}
