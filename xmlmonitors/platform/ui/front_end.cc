#include "platform/ui/front_end.h"

#include "platform/os/debug_output.h"
#include "platform/os/environment.h"

namespace platform::ui {

FrontEndChoice ChooseFrontEnd() {
  FrontEndChoice choice;
  const std::optional<std::string> value = platform::EnvironmentValue("FEEDPROBE_UI");
  if (!value || value->empty()) {
    choice.kind = TerminalAvailable() ? FrontEndKind::kTerminal : FrontEndKind::kNone;
  } else if (*value == "terminal") {
    choice.kind = FrontEndKind::kTerminal;
  } else if (value->rfind("script:", 0) == 0) {
    choice.kind = FrontEndKind::kScript;
    choice.script_path = value->substr(7);
  } else if (*value != "none") {
    platform::DebugOutput("feedprobe ui: FEEDPROBE_UI=\"" + *value +
                          "\" is not terminal, script:PATH or none; no dialog is shown\n");
  }
  return choice;
}

}  // namespace platform::ui
