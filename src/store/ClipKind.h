#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace orv {

// What a clip holds. The raw value is what the history writes into its `kind` column.
enum class ClipKind { text, image, color, files };

// The stored text of a kind: "text", "image", "color" or "files".
QString rawValue(ClipKind kind);

// The kind of a stored text; nothing for any other text.
std::optional<ClipKind> clipKindFromRaw(QStringView raw);

}  // namespace orv
