#include "conversions/Conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool isIgnored(char32_t c)
{
    return c == U' ' || c == U'\t' || c == U'\n';
}

bool isDigit(char32_t c)
{
    return c >= U'0' && c <= U'9';
}

char32_t upper(char32_t c)
{
    return (c >= U'a' && c <= U'z') ? c - (U'a' - U'A') : c;
}

double wholeNumber(const std::u32string& s, std::size_t from, int base)
{
    double value = 0;
    for (std::size_t i = from; i < s.size(); ++i) {
        const char32_t c = upper(s[i]);
        int digit;
        if (isDigit(c))
            digit = int(c - U'0');
        else if (c >= U'A' && c <= U'F')
            digit = int(c - U'A') + 10;
        else
            break;
        if (digit >= base)
            break;
        value = value * base + digit;
    }
    return value;
}

// The decimal number at the start of s, written out in the form std::from_chars expects.
double decimalNumber(const std::u32string& s)
{
    std::string ascii;
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == U'+' || s[i] == U'-')) {
        negative = s[i] == U'-';
        ++i;
    }
    std::size_t digits = 0;
    for (; i < s.size() && isDigit(s[i]); ++i, ++digits)
        ascii += char(s[i]);
    if (i < s.size() && s[i] == U'.') {
        ascii += '.';
        for (++i; i < s.size() && isDigit(s[i]); ++i, ++digits)
            ascii += char(s[i]);
    }
    if (digits == 0)
        return 0;
    // An exponent counts only when at least one digit follows its letter and optional sign.
    if (i < s.size() && (upper(s[i]) == U'E' || upper(s[i]) == U'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == U'+' || s[j] == U'-'))
            exponent += char(s[j++]);
        const std::size_t firstExponentDigit = j;
        for (; j < s.size() && isDigit(s[j]); ++j)
            exponent += char(s[j]);
        if (j > firstExponentDigit)
            ascii += exponent;
    }

    double value = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves the value alone when it does not fit: tell overflow from underflow by the
        // position of the first significant digit against the exponent.
        const std::size_t point = ascii.find('.');
        const std::size_t ePos = ascii.find('e');
        const std::string mantissa = ascii.substr(0, ePos);
        long long exponent = 0;
        if (ePos != std::string::npos) {
            const std::string e = ascii.substr(ePos + 1);
            // Saturate: exponents beyond any double's range decide the outcome alone.
            const bool minus = !e.empty() && e[0] == '-';
            for (char c : e)
                if (c >= '0' && c <= '9')
                    exponent = std::min<long long>(exponent * 10 + (c - '0'), 1'000'000'000);
            if (minus)
                exponent = -exponent;
        }
        const std::size_t intEnd = point == std::string::npos ? mantissa.size() : point;
        const std::size_t firstNonZero = mantissa.find_first_not_of("0.");
        long long magnitude =
            firstNonZero < intEnd ? (long long)(intEnd - firstNonZero) : -(long long)(firstNonZero - intEnd - 1);
        value = magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

} // namespace

double Val(const QString& text)
{
    std::u32string s;
    s.reserve(std::size_t(text.size()));
    for (char32_t c : text.toStdU32String())
        if (!isIgnored(c))
            s += c;

    if (s.size() >= 2 && s[0] == U'&') {
        if (upper(s[1]) == U'H')
            return wholeNumber(s, 2, 16);
        if (upper(s[1]) == U'O')
            return wholeNumber(s, 2, 8);
    }
    return decimalNumber(s);
}

QString Str(double number)
{
    if (number == 0)
        return QStringLiteral(" 0"); // also -0
    if (!std::isfinite(number))
        return std::isnan(number) ? QStringLiteral(" NaN")
               : number > 0       ? QStringLiteral(" Inf")
                                  : QStringLiteral("-Inf");

    // The few doubles above 1.79769313486231E+308 round, at fifteen digits, to 1.79769313486232E+308, which is
    // beyond the largest double and would read back as an infinity: they are written as the largest fifteen-digit
    // number that reads back as itself.
    constexpr double kLargestWritable = 1.79769313486231E+308;
    char buffer[64];
    const double magnitude = std::min(std::fabs(number), kLargestWritable);
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::general, 15);
    std::string digits(buffer, result.ptr);
    for (char& c : digits)
        if (c == 'e')
            c = 'E';
    if (digits.starts_with("0."))
        digits.erase(0, 1);
    return QString::fromLatin1((number < 0 ? "-" : " ") + digits);
}
