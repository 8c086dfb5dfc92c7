#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace orv {

// The content keys of the history: the image key, and reading a colour back out of a hex code.
namespace ClipIdentity {

// Components in 0…1.
struct RGBA {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    bool operator==(const RGBA&) const = default;
};

// "#RGB", "#RGBA", "#RRGGBB" or "#RRGGBBAA" in any case, surrounding whitespace allowed.
std::optional<RGBA> parseHex(QStringView text);

// "image:" + 32-bit FNV-1a of the bytes in base 36 + ":" + width + "x" + height + ":" + byte count.
QString imageValue(const QByteArray& data, int width, int height);

}  // namespace ClipIdentity

}  // namespace orv
