#pragma once

#include <QString>

namespace orv {

// The program's one name for the desktop: its desktop entry, icon, D-Bus name, portal app id,
// folders and windows' own identifier.
inline const QString applicationId = QStringLiteral("com.quarnelbrisk.orvantide");

}  // namespace orv
