// The two dialog pictures, drawn with QPainter from the sprite art, and the conversions between Qt images and palette
// pictures.
#pragma once

#include "Xpm.h"

#include <QImage>

#include <filesystem>

namespace sheets {

// Transparent entries become fully transparent pixels.
QImage toImage(const IndexedPicture& picture);

// Reduces a full-colour picture to at most 256 colours (median cut) for a GIF without transparency.
IndexedPicture quantize(const QImage& image);

// The win dialog's picture, 320 x 376: the player's creature seated, hand-coloured on white paper.
QImage drawWinPicture(const std::filesystem::path& sources);

// The about box's picture, 306 x 322: a little scene of the game built from the sprite sheets.
QImage drawAboutPicture(const std::filesystem::path& sources);

}  // namespace sheets
