// The Windows icon file: one 256-colour image, its palette made by median
// cut, so that every Windows version shows it.
#ifndef ICOENCODER_H
#define ICOENCODER_H

#include <QImage>

#include <cstdint>
#include <vector>

// The whole .ico file for an image of at most 255 x 255 pixels.
std::vector<std::uint8_t> encodeIco8(const QImage &source);

#endif // ICOENCODER_H
