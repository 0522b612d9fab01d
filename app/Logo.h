#pragma once

#include <QPixmap>

// The shop's loyalty card, drawn at the given size.
QPixmap drawLogo(const QSize& size);
