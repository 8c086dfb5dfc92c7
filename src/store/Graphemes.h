#pragma once

#include <QString>

namespace orv {

// Text cut by user-perceived characters (grapheme clusters), never inside one.
namespace Graphemes {

// The first `count` characters of `text`, or all of it when it has no more.
QString prefix(const QString& text, qsizetype count);

}  // namespace Graphemes

}  // namespace orv
