// Val on arbitrary text (the input's bytes read as UTF-8), and Str through the round trip. Besides crashes and
// sanitizer reports, an input that breaks one of the properties below stops the fuzzer, so that wrong results are
// found as well.
#include "conversions/Conversions.h"

#include <QHashFunctions>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Equal values with equal signs: -0 must not turn into 0 or the other way round.
bool same(double a, double b)
{
    return a == b && std::signbit(a) == std::signbit(b);
}

void check(bool holds, const char* property, const QString& text)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\ntext: \"%s\"\n", property, text.toUtf8().constData());
    std::abort();
}

// The text with blanks, tabs or line feeds between its characters, at both ends as well. Which gaps get which,
// and how many, depends on the text alone, so that a failing input fails again when it is run by itself.
QString withBlanks(const QString& text, bool everywhere)
{
    static const char32_t kBlanks[] = {U' ', U'\t', U'\n'};
    std::uint64_t state = qHash(text, 0) | 1;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    const auto gap = [&](std::u32string& out) {
        const std::uint64_t r = next();
        int count = everywhere ? 1 : 0;
        if (r % 2)
            count += 1 + int(r / 2 % 3);
        for (; count > 0; --count)
            out += kBlanks[next() % 3];
    };

    std::u32string out;
    gap(out);
    for (char32_t c : text.toStdU32String()) {
        out += c;
        gap(out);
    }
    return QString::fromStdU32String(out);
}

void checkRoundTrip(double number, const QString& from)
{
    if (!std::isfinite(number))
        return;
    const QString written = Str(number);
    check(Str(Val(written)) == written, "Str(Val(Str(x))) == Str(x)", from);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const double value = Val(text);

    check(!std::isnan(value), "Val never gives NaN", text);
    checkRoundTrip(value, text);

    check(same(Val(withBlanks(text, false)), value), "blanks, tabs and line feeds in some gaps change nothing", text);
    check(same(Val(withBlanks(text, true)), value), "blanks, tabs and line feeds in every gap change nothing", text);

    // Whatever follows the first comma is never read, whatever it is.
    const qsizetype comma = text.indexOf(u',');
    const QString head = comma < 0 ? text : text.left(comma);
    check(same(Val(head), value), "the first comma ends the number", text);
    check(same(Val(head + QStringLiteral(",5E+3")), value), "a comma ends the number", text);

    // The same bytes taken as a double: Str must write every finite double so that Val reads it back.
    if (size >= sizeof(double)) {
        double number;
        std::memcpy(&number, data, sizeof number);
        checkRoundTrip(number, Str(number));
    }
    return 0;
}
