#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>

namespace orv {

namespace TestImages {

// A PNG of one colour.
QByteArray png(int width, int height, QColor color = Qt::red);
// A PNG whose header claims the given size over a few bytes of compressed zeros.
QByteArray pngClaiming(quint32 width, quint32 height);
// A JPEG carrying an EXIF orientation tag (6: the picture must be turned 90° clockwise).
QByteArray jpegWithOrientation(int width, int height, quint16 orientation);
// The same PNG with a text chunk added after its header: other bytes, the same picture.
QByteArray withText(const QByteArray& png, const QByteArray& text);
QImage decode(const QByteArray& bytes);
// A picture with smooth light and fine grain, which compresses about like a photo.
QImage photo(int width, int height);
// A colour as "application/x-color" carries it: four 16-bit channels in the host's order.
QByteArray color16(quint16 r, quint16 g, quint16 b, quint16 a);

}  // namespace TestImages

}  // namespace orv
