#include "app/Appearance.h"

#include "window/Form1.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStyleFactory>

#include <cmath>

void applyAppearance()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Metric-compatible families: the layout in twips was made for these widths.
    if (!QFontDatabase::hasFamily(QStringLiteral("Arial")))
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    if (!QFontDatabase::hasFamily(QStringLiteral("Comic Sans MS")))
        QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
}

QFont designFont(const FontDesign& design, double scale)
{
    const FontDesign& font = design.family ? design : Form1::kDefaultFont;
    QFont result(QString::fromLatin1(font.family));
    result.setPointSizeF(font.points * scale);
    result.setBold(font.bold);
    return result;
}

QColor toColor(Rgb rgb)
{
    return QColor::fromRgb(QRgb(0xFF000000u | rgb));
}

int twipsToPixels(int twips, double scale)
{
    return int(std::lround(twips * scale / 15.0));
}
