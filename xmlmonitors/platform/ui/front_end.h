// The front-ends that show dialogs, and the choice between them by FEEDPROBE_UI.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/dialog_template.h"

namespace platform::ui {

class Dialog;

// One dialog shown by a front-end.
class FrontEndSession {
 public:
  virtual ~FrontEndSession() = default;
  // Places the new dialog's window; called before kInit.
  virtual void Attach(Dialog& dialog) = 0;
  // Lets the user act until the dialog has ended.
  virtual void Run(Dialog& dialog) = 0;
  // Draws the dialog now, where the front-end draws at all.
  virtual void Update(Dialog& dialog) { (void)dialog; }
};

enum class FrontEndKind { kTerminal, kScript, kNone };

struct FrontEndChoice {
  FrontEndKind kind = FrontEndKind::kNone;
  std::string script_path;  // kScript
};

// FEEDPROBE_UI: "terminal", "script:PATH", "none"; unset or empty: the terminal when /dev/tty
// can be opened, else none; any other value: none (said in the debugger output).
FrontEndChoice ChooseFrontEnd();

// Null when the dialog cannot be shown.
std::unique_ptr<FrontEndSession> OpenScriptSession(const std::string& path,
                                                   const DialogTemplate& dialog_template);
std::unique_ptr<FrontEndSession> OpenTerminalSession(const DialogTemplate& dialog_template);
// True when /dev/tty can be opened for reading and writing.
bool TerminalAvailable();

}  // namespace platform::ui
