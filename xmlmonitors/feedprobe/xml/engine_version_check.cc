#include "feedprobe/xml/engine_version_check.h"

#include <string>

#include "feedprobe/plugin/configuration.h"
#include "platform/os/debug_output.h"
#include "platform/os/profile.h"

namespace feedprobe {

void ShowEngineVersionWarning() {
  std::string caption =
      platform::ReadProfileString(GetProductFilePath(), "General", "ProductName", "Ombrelay", 2049);
  std::string text = "This monitor requiers MSXML version higher than 2.5.";
  platform::DebugOutput(caption + ": " + text + "\n");
}

}  // namespace feedprobe
