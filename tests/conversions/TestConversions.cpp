#include "conversions/Characters.h"
#include "conversions/Conversions.h"
#include "tests/support/TestSupport.h"

#include <QTest>

#include <cmath>
#include <limits>

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kLargest = std::numeric_limits<double>::max();

// Val and Str, and the cuts that never split a character.
class TestConversions : public QObject
{
    Q_OBJECT

private slots:
    void val_data()
    {
        const DataTable<QString, double> row("text", "number");
        row("empty", "", 0);
        row("empty mark", "*****", 0);
        row("stored with leading blank", " 150", 150);
        row("no zero before point", ".5", 0.5);
        row("comma ends the number", "2,5", 2);
        row("second point ends it", "1.2.3", 1.2);
        row("blank between sign and digits", "- 5", -5);
        row("two signs", "--5", 0);
        row("blanks inside", " 1 2 3", 123);
        row("carriage return ends it", "1\r0", 1);
        row("exponent E", "1E3", 1000);
        row("negative exponent", "15E-1", 1.5);
        row("exponent without digits", "3E", 3);
        row("hexadecimal, any case", "&hFf", 255);
        row("hexadecimal stops at non-digit", "&H1G", 1);
        row("octal", "&O17", 15);
        row("full-width digits are not digits", "１２", 0);
        row("overflow", "1E400", kInfinity);
        row("negative overflow, huge exponent", "-1E99999999999999999999", -kInfinity);
    }

    void val()
    {
        QFETCH(QString, text);
        QFETCH(double, number);
        QCOMPARE(Val(text), number);
    }

    void str_data()
    {
        const DataTable<double, QString> row("number", "text");
        row("zero", 0, " 0");
        row("negative zero", -0.0, " 0");
        row("negative whole", -5, "-5");
        row("below one", 0.5, " .5");
        row("negative below one", -0.25, "-.25");
        row("binary fraction rounded to 15 digits", 0.1 + 0.2, " .3");
        row("fifteen digits, no separators", 123456789012345, " 123456789012345");
        row("sixteen digits rounded", 1234567890123456, " 1.23456789012346E+15");
        row("small", 0.0001, " .0001");
        row("very small", 0.00001, " 1E-05");
        row("negative very small", -2.5e-7, "-2.5E-07");
        row("largest double reads back", kLargest, " 1.79769313486231E+308");
        row("smallest double", std::numeric_limits<double>::denorm_min(), " 4.94065645841247E-324");
    }

    void str()
    {
        QFETCH(double, number);
        QFETCH(QString, text);
        QCOMPARE(Str(number), text);
    }

    void cuts_data()
    {
        // cuts: charCount, leftChars 7, charsFrom 2 and rightChars 2, joined by "|"
        const DataTable<QString, QString> row("text", "cuts");
        row("empty", "", "0|||");
        row("ascii", "0123456789", "10|0123456|123456789|89");
        row("enye is one character", "ñ0001", "5|ñ0001|0001|01");
        row("non-BMP at the cut", "123456𝄞9", "8|123456𝄞|23456𝄞9|𝄞9");
        row("lone surrogate counts as one", QChar(0xD800) + QStringLiteral("abcdefg"),
            QStringLiteral("8|%1abcdef|abcdefg|fg").arg(QChar(0xD800)));
    }

    void cuts()
    {
        QFETCH(QString, text);
        QFETCH(QString, cuts);
        const QString left = leftChars(text, 7), from = charsFrom(text, 2);
        QCOMPARE(QStringList({QString::number(charCount(text)), left, from, rightChars(text, 2)}).join('|'), cuts);
        QCOMPARE(midChars(text, 2, 100), from);
        QCOMPARE(midChars(text, 1, 7), left);
    }
};

QTEST_GUILESS_MAIN(TestConversions)
#include "TestConversions.moc"
