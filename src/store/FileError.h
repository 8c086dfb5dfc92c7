#pragma once

#include "store/Error.h"

// The history's folder and file failures: `Error` of kind file.
using FileError = Error;
