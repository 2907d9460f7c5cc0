#include "link/commandframe.h"

#include "link/linkprotocol.h"

#include <charconv>
#include <cmath>
#include <string>

QString MakeFrame(const QString &address, const QString &letter, const QString &value)
{
    return QLatin1Char(LinkProtocol::kStartChar) + address + letter + value +
           QLatin1Char(LinkProtocol::kEndChar);
}

QString addressField(int pumpNumber)
{
    return formatDecimalMask(pumpNumber, 2, 0);
}

QString flowField(double mlPerMin)
{
    return formatDecimalMask(mlPerMin, 4, 0);
}

QString pressureField(double mpa)
{
    return formatDecimalMask(mpa, 2, 1);
}

namespace {

// Adds one to a string of decimal digits.
void incrementDigits(std::string &digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

} // namespace

QString formatDecimalMask(double value, int integerDigits, int decimals)
{
    if (!std::isfinite(value))
        return {};

    // Shortest round-trip form in scientific notation: "d.ddde±xx".
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific);
    const std::string text(buffer, result.ptr);
    const auto ePos = text.find('e');
    std::string digits;
    for (char c : text.substr(0, ePos)) {
        if (c != '.')
            digits += c;
    }
    const int exponent = std::stoi(text.substr(ePos + 1));

    // |value| == digits * 10^(shift) where digits is an integer; we want it scaled by 10^decimals.
    const int shift = exponent - int(digits.size()) + 1 + decimals;
    std::string scaled;
    if (shift >= 0) {
        scaled = digits + std::string(shift, '0');
    } else {
        const int dropped = -shift;
        const int kept = int(digits.size()) - dropped;
        if (kept < 0) {
            scaled = "0";
        } else {
            const bool roundUp = digits[kept] >= '5';
            scaled = kept > 0 ? digits.substr(0, kept) : std::string("0");
            if (roundUp)
                incrementDigits(scaled);
        }
    }
    scaled.erase(0, std::min(scaled.find_first_not_of('0'), scaled.size() - 1));

    const std::size_t minDigits = std::size_t(integerDigits + decimals);
    if (scaled.size() < minDigits)
        scaled.insert(0, minDigits - scaled.size(), '0');
    if (decimals > 0)
        scaled.insert(scaled.size() - decimals, 1, '.');

    const bool negative =
        std::signbit(value) && scaled.find_first_not_of("0.") != std::string::npos;
    return QString::fromLatin1((negative ? "-" : "") + scaled);
}

bool isWellFormedFrame(const QString &frame)
{
    if (frame.size() != LinkProtocol::kFrameLength)
        return false;
    if (frame.front() != QLatin1Char(LinkProtocol::kStartChar) ||
        frame.back() != QLatin1Char(LinkProtocol::kEndChar))
        return false;
    for (QChar c : frame) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7e)
            return false;
    }
    return true;
}
