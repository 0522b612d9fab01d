#pragma once

#include <QString>

// Cuts by character (Unicode code point), never by UTF-16 unit: a character outside the Basic Multilingual
// Plane counts as one and is never split, so every result is valid text.

// The number of characters of text.
qsizetype charCount(const QString& text);

// The first count characters of text (all of it when shorter).
QString leftChars(const QString& text, qsizetype count);

// The last count characters of text (all of it when shorter).
QString rightChars(const QString& text, qsizetype count);

// The text from its character number `first` (1 is the first character) on.
QString charsFrom(const QString& text, qsizetype first);

// count characters from character number `first` (1 is the first); fewer or none where text is shorter.
QString midChars(const QString& text, qsizetype first, qsizetype count);

// The text of bytes from a file: UTF-8 when they are valid UTF-8; otherwise Windows-1252, the code page of the
// Spanish programs that wrote older files and of spreadsheets saved on Windows. Never U+FFFD in place of a byte.
QString textFromBytes(const QByteArray& bytes);
QString textFromBytes(const char* bytes, qsizetype size);
