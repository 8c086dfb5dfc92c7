#pragma once

#include <QString>

namespace orv {

// The program's one name for the desktop: its desktop entry, icon, D-Bus name, portal app id,
// folders and windows' own identifier.
// A literal too, for what moc reads (D-Bus interface names).
#define ORV_APPLICATION_ID "com.quarnelbrisk.orvantide"
inline const QString applicationId = QStringLiteral(ORV_APPLICATION_ID);

}  // namespace orv
