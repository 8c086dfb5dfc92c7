#pragma once

#include "store/Error.h"

namespace orv {

// The history's failures: `Error` of kind open or sqlite.
using StoreError = Error;

}  // namespace orv
