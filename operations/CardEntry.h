#pragma once

#include <QString>

// The card number prompt, as every operation shows it.
namespace CardEntry {

inline const QString kPrompt =
    QStringLiteral("introducir número por teclado,tarjeta magnética o lector de código de barras");
inline const QString kTitle = QStringLiteral("introducir datos");
// The prompt's top-left corner, in twips from the screen's top-left corner.
inline constexpr int kLeftTwips = 11500;
inline constexpr int kTopTwips = 7000;
// The entry that ends the prompting.
inline const QString kLeave = QStringLiteral("*");

// How many characters of a card number the prompt keeps: a longer stored number cannot be typed.
inline constexpr qsizetype kKeptChars = 7;

// A card reader sends "ñ" before the number: one leading "ñ" is dropped, then at most kKeptChars characters are
// kept. Nothing else is trimmed, converted or checked.
QString normalise(const QString& entry);

} // namespace CardEntry
