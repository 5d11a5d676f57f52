// Numbers read from packet texts the way the C library reads wide strings,
// independent of the process locale (the toolkit sets the user's locale, and
// a page's "1.5" must not depend on whether the desktop writes "1,5").
#pragma once

#include "framework/afxtypes.h"

// Base-10 conversion with the rules of wcstol where long has 32 bits: leading
// blanks skipped, an optional sign, digits up to the first non-digit, 0 when
// there are none, and results beyond the 32-bit range saturated at its limits.
int WideToLong(const CString& text);

// Conversion with the rules of wcstod in the C locale: leading blanks skipped,
// an optional sign, then the longest decimal or hexadecimal floating-point
// number, infinity or NaN at the start; 0.0 when there is none.
double WideToDouble(const CString& text);
