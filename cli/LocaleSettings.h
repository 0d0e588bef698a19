// The user's regional settings, read from the locale through Qt (which follows LC_ALL,
// LC_NUMERIC and LANG), as the plain values the core takes.
#pragma once

#include "core/Regional.h"

class QLocale;

namespace ponteva {

RegionalSettings regionalFromLocale(const QLocale& locale);
RegionalSettings regionalFromSystem();

} // namespace ponteva
