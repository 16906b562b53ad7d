#include "feedprobe/xml/engine_version_check.h"

#include <string>

#include "feedprobe/plugin/configuration.h"
#include "feedprobe/resources/string_table.h"
#include "platform/ui/dialog.h"
#include "platform/os/profile.h"

namespace feedprobe {

void ShowEngineVersionWarning() {
  std::string caption =
      platform::ReadProfileString(GetProductFilePath(), "General", "ProductName", "Ombrelay", 2049);
  platform::ui::ShowMessageBox(nullptr, LoadResourceString(kStrEngineTooOld), caption);
}

}  // namespace feedprobe
