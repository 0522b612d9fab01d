#pragma once

#include <QTest>
#include <QWidget>

// Types text into a widget one key at a time, as a keyboard (or a card reader acting as one) would, including
// characters that QTest::keyClicks cannot type, such as "ñ" and characters outside the Basic Multilingual Plane.
inline void typeText(QWidget* widget, const QString& text)
{
    for (char32_t c : text.toStdU32String()) {
        const QString character = QString::fromUcs4(&c, 1);
        const auto key =
            (c < 128 && QChar(c).isLetterOrNumber()) ? Qt::Key(QChar(c).toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Press, widget, key, character, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, key, character, Qt::NoModifier);
    }
}
