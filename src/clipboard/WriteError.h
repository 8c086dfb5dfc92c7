#pragma once

#include "store/Error.h"

namespace orv {

// A clip that cannot be put back on the clipboard: `Error` of kind missing, in Spanish.
using WriteError = Error;

}  // namespace orv
