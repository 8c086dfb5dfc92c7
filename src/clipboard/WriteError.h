#pragma once

#include "store/Error.h"

// A clip that cannot be put back on the clipboard: `Error` of kind missing, in Spanish.
using WriteError = Error;
