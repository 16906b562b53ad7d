// Numbers in the C locale, whatever the process-wide locale is (which is never switched).
#pragma once

namespace platform {

// atof's result for the text under the C locale: the leading number, 0 when there is none.
double ParseDoubleC(const char* text);

}  // namespace platform
