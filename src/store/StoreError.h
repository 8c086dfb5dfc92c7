#pragma once

#include "store/Error.h"

// The history's failures: `Error` of kind open or sqlite.
using StoreError = Error;
