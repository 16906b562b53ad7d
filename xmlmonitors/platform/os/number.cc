#include "platform/os/number.h"

#include <locale.h>
#include <stdlib.h>

namespace platform {

namespace {

// The C locale object, freed with the module.
class CLocale {
 public:
  CLocale() : locale_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0))) {}
  ~CLocale() {
    if (locale_ != static_cast<locale_t>(0)) freelocale(locale_);
  }
  locale_t get() const { return locale_; }

 private:
  locale_t locale_;
};

}  // namespace

double ParseDoubleC(const char* text) {
  if (text == nullptr) return 0.0;
  static const CLocale c_locale;
  if (c_locale.get() == static_cast<locale_t>(0)) return atof(text);
  return strtod_l(text, nullptr, c_locale.get());
}

}  // namespace platform
