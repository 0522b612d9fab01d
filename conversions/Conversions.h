#pragma once

#include <QString>

// Text to number: blanks, tabs and line feeds are ignored wherever they stand; then the longest leading part
// that reads as a decimal number is taken (optional sign, digits, at most one '.', optional exponent introduced
// by E or D), or a whole number after a leading &H (hexadecimal) or &O (octal). Anything else gives 0; a comma
// is not a decimal point. A number too large for a double gives an infinity.
double Val(const QString& text);

// Number to text: a leading blank for zero and positive numbers, '-' for negative ones; up to fifteen
// significant digits; '.' as the decimal point with no zero before it between -1 and 1 (" .5"); no thousands
// separators. Magnitudes from 1E+15 up, or below 1E-04, are written with an exponent (" 1E+15", "-2.5E-07"),
// which Val reads back to the same text.
QString Str(double number);
