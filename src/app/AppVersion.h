#pragma once

#include <QString>

namespace orv {

// The application's version, for the status menu.
namespace AppVersion {

// The version set on the application at launch, or "—" when there is none.
QString current();

}  // namespace AppVersion

}  // namespace orv
