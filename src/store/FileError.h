#pragma once

#include "store/Error.h"

namespace orv {

// The history's folder and file failures: `Error` of kind file.
using FileError = Error;

}  // namespace orv
