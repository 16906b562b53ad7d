// The plug-in's dialog resources: the browse dialog (101) and the login dialog (203), the
// icon entry and the help topics.
#pragma once

#include <string>

#include "platform/ui/dialog_template.h"

namespace feedprobe {

enum DialogId { kBrowseDialogId = 101, kLoginDialogId = 203 };

// Controls of the browse dialog.
enum BrowseControl {
  kBrowseHostGroup = 203,
  kBrowseTreeLabel = 204,
  kBrowseTree = 1000,
  kBrowseListLabel = 205,
  kBrowseList = 1002,
  kBrowseOk = 1,
  kBrowseCancel = 2,
  kBrowseDescriptionGroup = 202,
  kBrowseDescription = 201,
  kBrowseHelp = 206,
  kBrowseSelectRecursively = 209,
};

// Controls of the login dialog.
enum LoginControl { kLoginUser = 207, kLoginPassword = 208, kLoginOk = 1, kLoginCancel = 2 };

// Icon 103 of the tree items; a terminal shows no icon.
constexpr int kComponentIconId = 103;

const platform::ui::DialogTemplate& BrowseDialogTemplate();
const platform::ui::DialogTemplate& LoginDialogTemplate();

// The help topic of a monitor type (letter case ignored) for the browse dialog (context 0)
// or the login dialog (context 1); 0 for a type that has none.
int HelpTopic(const std::string& monitor_type, int context);

}  // namespace feedprobe
