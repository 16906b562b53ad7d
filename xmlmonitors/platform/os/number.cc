#include "platform/os/number.h"

#include <locale.h>
#include <stdlib.h>

namespace platform {

double ParseDoubleC(const char* text) {
  if (text == nullptr) return 0.0;
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (c_locale == static_cast<locale_t>(0)) return atof(text);
  return strtod_l(text, nullptr, c_locale);
}

}  // namespace platform
