#include "feedprobe/selection/login_dialog.h"

#include <string>

#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/plugin/login_string.h"
#include "feedprobe/resources/dialogs.h"
#include "feedprobe/selection/browse_dialog.h"
#include "platform/ui/dialog.h"

namespace feedprobe {

namespace ui = platform::ui;

namespace {
constexpr size_t kFieldLimit = 127;
}

bool ShowLoginDialog(FeedprobeHostWindow* parent, char* login_buffer) {
  auto procedure = [login_buffer](ui::Dialog& dialog, ui::Message& message) {
    switch (message.kind) {
      case ui::MessageKind::kInit:
        return false;
      case ui::MessageKind::kHelp:
        RequestHelp(dialog.parent(), 1);
        return true;
      case ui::MessageKind::kCommand:
        if (message.code != ui::kButtonClicked) return false;
        if (message.control_id == kLoginOk) {
          std::string user = dialog.ControlText(kLoginUser).substr(0, kFieldLimit);
          std::string password = dialog.ControlText(kLoginPassword).substr(0, kFieldLimit);
          std::string login = FormatUserData(user.c_str(), password.c_str(), "", "");
          CopyToFailureBuffer(login_buffer, kLoginBufferSize, login);
          dialog.EndDialog(1);
          return true;
        }
        if (message.control_id == kLoginCancel) {
          dialog.EndDialog(0);
          return true;
        }
        return false;
      default:
        return false;
    }
  };
  return ui::RunDialog(LoginDialogTemplate(), parent, procedure, 0) == 1;
}

}  // namespace feedprobe
