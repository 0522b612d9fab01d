#pragma once

#include "store/MemberRecord.h"

#include <QString>

#include <optional>

// The types of Access columns, numbered as the Access reader writes them.
enum class AccessType : int {
    YesNo = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    LongInteger = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0a,
    OleObject = 0x0b,
    Memo = 0x0c,
    ReplicationId = 0x0f,
    Decimal = 0x10,
    Complex = 0x12,
};

// Whether a column of this type can become text (binary data, OLE objects and unknown types cannot).
bool convertsToText(AccessType type);

// Whether the column's values are stored as they are, being text already.
bool isTextType(AccessType type);

// The text that the member form stores in `field` for a value read from a column of type `type`, given in the
// reader's form. Text and memo stay exactly as they are; numbers become what Str writes (" 17.5", "-5"), yes/no
// the Access numbers -1 and 0 as Str writes them; a date becomes "dd/mm/yyyy", or "mm/yyyy" for the card expiry
// (fcaducidad), its time of day dropped. None when `raw` is not a value of that type (a damaged file), or is a
// date outside the years 100 to 9999 that Access allows.
std::optional<QString> storedText(AccessType type, const QString& raw, Field field);
