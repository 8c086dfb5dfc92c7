#pragma once

#include <QIcon>

namespace orv {

// The program's own icon: the installed theme icon when there is one, else the same picture built
// into the program, so that windows and alerts carry it even when run from the build folder.
namespace AppIcon {

QIcon icon();

}  // namespace AppIcon

}  // namespace orv
