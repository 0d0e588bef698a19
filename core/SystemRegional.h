// The user's regional settings as the operating system gives them: the seam through which
// the window and the command-line tool hand them to the runs. One file per platform.
#pragma once

#include "core/Regional.h"

namespace ponteva {

// Read afresh on every call. All texts are UTF-8.
RegionalSettings systemRegionalSettings();

} // namespace ponteva
