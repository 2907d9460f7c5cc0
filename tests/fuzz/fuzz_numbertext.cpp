// The input is text the operator typed or the pump sent (read as UTF-8). Its reading as a
// number must follow the documented grammar exactly and give what the C library reads from the
// same digits; a reading within the keypad's limits must make a nine-character frame.
#include "entry/keypad.h"
#include "link/commandframe.h"
#include "link/numbertext.h"
#include "tests/fuzz/fuzzcheck.h"

#include <QRegularExpression>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>

namespace {

constexpr double kInt16Half = 32767.5;

// The grammar of a number once the blanks around it are gone.
bool isNumberText(const QString &core)
{
    static const QRegularExpression grammar(
        QStringLiteral("\\A[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)\\z"));
    return grammar.match(core).hasMatch();
}

double readBack(const QString &text)
{
    return std::strtod(text.toLatin1().constData(), nullptr);
}

// Too large for a double, or so small that it is no longer told from zero.
bool isBeyondDouble(const QString &core)
{
    const double value = readBack(core);
    return !std::isfinite(value) || (value == 0 && core.contains(QRegularExpression("[1-9]")));
}

// A masked field reads back within half a unit of its last place (plus the value's own
// rounding error, for large values).
bool roundsTo(double value, const QString &field, int decimals)
{
    const double halfUnit = 0.5 * std::pow(10.0, -decimals);
    return std::fabs(readBack(field) - value) <= halfUnit * (1 + 1e-9) + std::fabs(value) * 1e-15;
}

void checkMask(double value, int integerDigits, int decimals)
{
    const QString field = formatDecimalMask(value, integerDigits, decimals);
    const QString pattern =
        QStringLiteral("\\A-?[0-9]{%1,}%2\\z")
            .arg(integerDigits)
            .arg(decimals > 0 ? QStringLiteral("\\.[0-9]{%1}").arg(decimals) : QString());
    check(QRegularExpression(pattern).match(field).hasMatch(), "a mask gives digits of its shape");
    check(roundsTo(value, field, decimals), "a mask rounds to its last place");
}

void checkFrame(const QString &address, char letter, const QString &field, const char *promise)
{
    const QString frame = MakeFrame(address, QString(QLatin1Char(letter)), field);
    check(frame.size() == 9 && isWellFormedFrame(frame), promise);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);
    const QString core = text.trimmed();

    const std::optional<double> value = NumberText::toDouble(text);
    if (!value) {
        check(!isNumberText(core) || isBeyondDouble(core),
              "text of the grammar is a number unless beyond a double's range");
    } else {
        check(isNumberText(core), "a number is text of the grammar");
        check(std::isfinite(*value), "a number is finite");
        check(*value == readBack(core), "a number reads as the C library reads it");
    }

    const std::optional<qint16> integer = NumberText::toInt16(text);
    if (integer) {
        check(value.has_value(), "an integer is a number");
        const double off = std::fabs(*integer - *value);
        check(off < 0.5 || (off == 0.5 && *integer % 2 == 0),
              "an integer is the nearest, halves to even");
    } else if (value) {
        check(std::fabs(*value) >= kInt16Half, "a number that is no integer is out of range");
    }

    if (!value)
        return 0;
    const int pumpNumber = std::accumulate(bytes.cbegin(), bytes.cend(), 0,
                                           [](int sum, char c) { return sum + quint8(c); }) %
                           100;
    const QString address = addressField(pumpNumber);
    check(address.size() == 2, "a pump number 0..99 is two digits");
    if (*value >= 0 && *value <= Keypad::kFlowLimit) {
        const QString flow = flowField(*value);
        check(flow.size() == 4 && roundsTo(*value, flow, 0), "a flow field is four digits");
        checkFrame(address, 'L', flow, "a flow within its limit makes a frame");
    }
    if (*value >= 0 && *value <= Keypad::kPressureLimit) {
        const QString pressure = pressureField(*value);
        check(pressure.size() == 4 && roundsTo(*value, pressure, 1),
              "a pressure field is four characters");
        checkFrame(address, 'P', pressure, "a pressure within its limit makes a frame");
    }
    checkMask(*value, 1 + int(size % 4), int(size / 4 % 4));
    return 0;
}
