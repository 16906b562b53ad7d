// Replacing every non-overlapping occurrence of a pattern, left to right. A replacement
// that contains the pattern is not scanned again; an empty pattern replaces nothing.
#pragma once

#include <string>

#include "xmlmonitorshared/cstring.h"

// False (and no change) when the pattern does not occur.
bool ReplaceAllInPlace(CString& text, const char* pattern, const char* replacement);

std::string ReplacedCopy(const char* text, const char* pattern, const char* replacement);
