#include "conversions/Characters.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

// Windows-1252 where it differs from Latin-1 (0x80-0x9F); the five bytes it leaves undefined keep their C1 code,
// as Windows itself reads them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

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

QString textFromBytes(const QByteArray& bytes)
{
    return textFromBytes(bytes.constData(), bytes.size());
}

QString textFromBytes(const char* bytes, qsizetype size)
{
    const QByteArrayView view(bytes, size);
    if (std::all_of(view.begin(), view.end(), [](char c) { return quint8(c) < 0x80; }))
        return QString::fromLatin1(view); // plain ASCII, the most common text by far
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(view);
    if (!utf8.hasError())
        return text;
    text.resize(size);
    QChar* out = text.data();
    for (char byte : view) {
        const auto b = quint8(byte);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}
