// printf-style formatting into a string; the result is never cut. Formats are always
// literals of the code, never texts from files or servers.
#pragma once

#include <cstdarg>
#include <string>

#include "xmlmonitorshared/cstring.h"

std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string StringPrintfV(const char* format, va_list args);
void FormatString(CString& target, const char* format, ...) __attribute__((format(printf, 2, 3)));
