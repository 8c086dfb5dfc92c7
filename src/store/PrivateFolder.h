#pragma once

#include <QString>

namespace orv {

// Creates a folder (with its parents) readable by its owner only; an existing one is left as it
// is. Raises Error.
void makePrivateFolder(const QString& path);

}  // namespace orv
