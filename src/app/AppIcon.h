#pragma once

#include <QIcon>

namespace orv {

// The program's own icon: the installed theme icon when there is one, else the same mark drawn
// here, so that windows and alerts carry it even when run from the build folder.
namespace AppIcon {

QIcon icon();

}  // namespace AppIcon

}  // namespace orv
