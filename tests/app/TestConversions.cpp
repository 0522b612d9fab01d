#include "app/conversions/Characters.h"
#include "app/conversions/Conversions.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <cstring>
#include <limits>

class TestConversions : public QObject
{
    Q_OBJECT

private slots:
    void val_data();
    void val();
    void str_data();
    void str();
    void strReadsBackThroughVal();
    void cuts_data();
    void cuts();
};

void TestConversions::val_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("whole") << "150" << 150.0;
    QTest::newRow("stored with leading blank") << " 150" << 150.0;
    QTest::newRow("decimal point") << "17.5" << 17.5;
    QTest::newRow("no zero before point") << ".5" << 0.5;
    QTest::newRow("point at the end") << "5." << 5.0;
    QTest::newRow("comma ends the number") << "2,5" << 2.0;
    QTest::newRow("second point ends it") << "1.2.3" << 1.2;
    QTest::newRow("negative") << "-20" << -20.0;
    QTest::newRow("plus sign") << "+7" << 7.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("two signs") << "--5" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("empty mark") << "*****" << 0.0;
    QTest::newRow("letters after digits") << "12abc" << 12.0;
    QTest::newRow("blanks inside") << " 1 2 3" << 123.0;
    QTest::newRow("tabs and line feeds") << "\t1\n0" << 10.0;
    QTest::newRow("carriage return ends it") << "1\r0" << 1.0;
    QTest::newRow("blank between sign and digits") << "- 5" << -5.0;
    QTest::newRow("exponent E") << "1E3" << 1000.0;
    QTest::newRow("exponent d lower case") << "2.5d2" << 250.0;
    QTest::newRow("negative exponent") << "15E-1" << 1.5;
    QTest::newRow("exponent without digits") << "3E" << 3.0;
    QTest::newRow("exponent sign without digits") << "3E+" << 3.0;
    QTest::newRow("hexadecimal") << "&HFF" << 255.0;
    QTest::newRow("hexadecimal lower case") << "&h1a" << 26.0;
    QTest::newRow("hexadecimal stops at non-digit") << "&H1G" << 1.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("octal stops at 8") << "&O18" << 1.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
    QTest::newRow("full-width digits are not digits") << QString::fromUtf8("１２") << 0.0;
    QTest::newRow("overflow") << "1E400" << std::numeric_limits<double>::infinity();
    QTest::newRow("negative overflow") << "-99999E99999" << -std::numeric_limits<double>::infinity();
    QTest::newRow("underflow") << "1E-400" << 0.0;
    QTest::newRow("huge exponent digits") << "1E99999999999999999999" << std::numeric_limits<double>::infinity();
    QTest::newRow("many leading zeros") << "0000000000000000000000000000042" << 42.0;
}

void TestConversions::val()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(Val(text), expected);
}

void TestConversions::str_data()
{
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero") << 0.0 << " 0";
    QTest::newRow("negative zero") << -0.0 << " 0";
    QTest::newRow("whole") << 15.0 << " 15";
    QTest::newRow("negative whole") << -5.0 << "-5";
    QTest::newRow("fraction") << 17.5 << " 17.5";
    QTest::newRow("below one") << 0.5 << " .5";
    QTest::newRow("negative below one") << -0.25 << "-.25";
    QTest::newRow("binary fraction rounded to 15 digits") << 0.1 + 0.2 << " .3";
    QTest::newRow("fifteen digits") << 123456789012345.0 << " 123456789012345";
    QTest::newRow("sixteen digits rounded") << 1234567890123456.0 << " 1.23456789012346E+15";
    QTest::newRow("large power") << 1e20 << " 1E+20";
    QTest::newRow("no thousands separator") << 1234567.0 << " 1234567";
    QTest::newRow("small") << 0.0001 << " .0001";
    QTest::newRow("very small") << 0.00001 << " 1E-05";
    QTest::newRow("negative very small") << -2.5e-7 << "-2.5E-07";
    QTest::newRow("largest double reads back") << std::numeric_limits<double>::max() << " 1.79769313486231E+308";
    QTest::newRow("negative largest double") << -std::numeric_limits<double>::max() << "-1.79769313486231E+308";
    QTest::newRow("smallest double") << std::numeric_limits<double>::denorm_min() << " 4.94065645841247E-324";
}

void TestConversions::str()
{
    QFETCH(double, number);
    QFETCH(QString, expected);
    QCOMPARE(Str(number), expected);
}

void TestConversions::strReadsBackThroughVal()
{
    QRandomGenerator random(20261206);
    for (int i = 0; i < 20000; ++i) {
        // Random bit patterns cover every magnitude; amounts typed at the till are checked too.
        double x;
        do {
            const quint64 bits = random.generate64();
            std::memcpy(&x, &bits, sizeof x);
        } while (!std::isfinite(x));
        const double amount = std::round((random.generateDouble() - 0.5) * 2e7) / 100;
        for (double value : {x, amount}) {
            const QString text = Str(value);
            QVERIFY2(Str(Val(text)) == text, qPrintable(text));
        }
    }
}

void TestConversions::cuts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("fromSecond");
    QTest::addColumn<QString>("right2");

    const QString clef = QString::fromUcs4(U"\U0001D11E");
    const QString lone(QChar(0xD800));
    QTest::newRow("empty") << "" << 0 << ""
                           << ""
                           << "";
    QTest::newRow("one character") << "5" << 1 << "5"
                                   << ""
                                   << "5";
    QTest::newRow("ascii") << "0123456789" << 10 << "0123456"
                           << "123456789"
                           << "89";
    QTest::newRow("enye is one character") << "ñ0001" << 5 << "ñ0001"
                                           << "0001"
                                           << "01";
    QTest::newRow("non-BMP at the cut") << "123456" + clef + "9" << 8 << "123456" + clef << "23456" + clef + "9"
                                        << clef + "9";
    QTest::newRow("non-BMP first") << clef + "abcdefgh" << 9 << clef + "abcdef"
                                   << "abcdefgh"
                                   << "gh";
    QTest::newRow("lone surrogate counts as one") << lone + "abcdefg" << 8 << lone + "abcdef"
                                                  << "abcdefg"
                                                  << "fg";
}

void TestConversions::cuts()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(QString, left);
    QFETCH(QString, fromSecond);
    QFETCH(QString, right2);
    QCOMPARE(rightChars(text, 2), right2);
    QCOMPARE(charCount(text), count);
    QCOMPARE(leftChars(text, 7), left);
    QCOMPARE(charsFrom(text, 2), fromSecond);
    QCOMPARE(midChars(text, 2, 100), fromSecond);
    QCOMPARE(midChars(text, 1, 7), left);
}

QTEST_GUILESS_MAIN(TestConversions)
#include "TestConversions.moc"
