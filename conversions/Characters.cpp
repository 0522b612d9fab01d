#include "conversions/Characters.h"

namespace {

// UTF-16 units of the character that starts at `unit`: 2 for a surrogate pair, else 1 (a lone surrogate
// counts as a character of its own).
qsizetype unitsAt(const QString& text, qsizetype unit)
{
    return text.at(unit).isHighSurrogate() && unit + 1 < text.size() && text.at(unit + 1).isLowSurrogate() ? 2 : 1;
}

// The UTF-16 index at which character number `index` (0-based) starts, or text.size() past the end.
qsizetype unitIndex(const QString& text, qsizetype index)
{
    qsizetype unit = 0;
    for (qsizetype seen = 0; seen < index && unit < text.size(); ++seen)
        unit += unitsAt(text, unit);
    return unit;
}

} // namespace

qsizetype charCount(const QString& text)
{
    qsizetype count = 0;
    for (qsizetype unit = 0; unit < text.size(); ++count)
        unit += unitsAt(text, unit);
    return count;
}

QString leftChars(const QString& text, qsizetype count)
{
    return text.left(unitIndex(text, std::max<qsizetype>(count, 0)));
}

QString rightChars(const QString& text, qsizetype count)
{
    return charsFrom(text, charCount(text) - std::max<qsizetype>(count, 0) + 1);
}

QString charsFrom(const QString& text, qsizetype first)
{
    return text.mid(unitIndex(text, std::max<qsizetype>(first - 1, 0)));
}

QString midChars(const QString& text, qsizetype first, qsizetype count)
{
    return leftChars(charsFrom(text, first), count);
}
