// CardEntry::normalise on arbitrary entries. The input's bytes are read as UTF-16 code units (little-endian, an odd
// last byte ignored), so that entries hold anything a QString can: "ñ" (F1 00), surrogate pairs, lone surrogates.
// Besides crashes and sanitizer reports, an entry that breaks one of the properties below stops the fuzzer.
#include "operations/CardEntry.h"

#include <QString>
#include <QtEndian>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const QChar kReaderMark(0x00F1); // "ñ"

void check(bool holds, const char* property, const QString& entry)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\nentry (UTF-16 units):", property);
    for (QChar c : entry)
        std::fprintf(stderr, " %04X", unsigned(c.unicode()));
    std::fprintf(stderr, "\n");
    std::abort();
}

// Characters as the operator sees them: a surrogate pair is one, a lone surrogate is one too.
qsizetype characters(const QString& text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count)
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QString entry(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(entry.data(), data, size / 2 * 2);
    for (QChar& c : entry)
        c = QChar(qFromLittleEndian(c.unicode()));

    const QString card = CardEntry::normalise(entry);
    const QString rest = entry.startsWith(kReaderMark) ? entry.mid(1) : entry;

    check(characters(card) <= 7, "at most seven characters", entry);
    check(rest.startsWith(card), "a prefix of the entry without its one leading reader mark", entry);
    check(card == rest || characters(card) == 7, "nothing cut below seven characters", entry);
    check(card.size() == rest.size() || card.isEmpty() || !card.back().isHighSurrogate() ||
              !rest[card.size()].isLowSurrogate(),
          "no surrogate pair split", entry);
    check(!QStringView(entry).isValidUtf16() || QStringView(card).isValidUtf16(), "valid entry, valid card", entry);

    // A second pass finds an entry that was normalised already: it can only drop one more reader mark.
    const QString twice = CardEntry::normalise(card);
    check(twice == card || (card.startsWith(kReaderMark) && twice == card.mid(1)), "a second pass drops at most one ñ",
          entry);
    return 0;
}
