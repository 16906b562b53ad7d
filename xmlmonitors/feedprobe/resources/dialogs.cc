#include "feedprobe/resources/dialogs.h"

#include "xmlmonitorshared/cstring.h"

namespace feedprobe {

using platform::ui::ControlKind;
using platform::ui::DialogTemplate;
using platform::ui::UnitRect;
namespace ui = platform::ui;

const DialogTemplate& BrowseDialogTemplate() {
  static const DialogTemplate dialog{
      kBrowseDialogId,
      "Generic Monitor Configuration",
      409,
      282,
      true,
      {
          {kBrowseHostGroup, ControlKind::kGroupBox, "Host:", UnitRect{7, 7, 395, 249}, 0},
          {kBrowseTreeLabel, ControlKind::kStatic, "Measured Components:", UnitRect{14, 25, 80, 10}, 0},
          {kBrowseSelectRecursively, ControlKind::kPushButton, "Select Recursively",
           UnitRect{97, 23, 78, 14}, ui::kStyleHidden},
          {kBrowseTree, ControlKind::kTreeView, "", UnitRect{13, 40, 188, 158}, 0},
          {kBrowseListLabel, ControlKind::kStatic, "&Performance Counters:",
           UnitRect{208, 25, 153, 11}, 0},
          {kBrowseList, ControlKind::kListView, "", UnitRect{206, 40, 188, 158},
           ui::kStyleCheckBoxes | ui::kStyleSortAscending},
          {kBrowseDescriptionGroup, ControlKind::kGroupBox, "Description", UnitRect{14, 202, 381, 48}, 0},
          {kBrowseDescription, ControlKind::kEdit, "", UnitRect{20, 211, 372, 33},
           ui::kStyleReadOnly | ui::kStyleMultiLine},
          {kBrowseOk, ControlKind::kPushButton, "OK", UnitRect{241, 261, 50, 14},
           ui::kStyleDefaultButton},
          {kBrowseCancel, ControlKind::kPushButton, "Cancel", UnitRect{293, 261, 50, 14}, 0},
          {kBrowseHelp, ControlKind::kPushButton, "&Help", UnitRect{352, 261, 50, 14}, 0},
      }};
  return dialog;
}

const DialogTemplate& LoginDialogTemplate() {
  static const DialogTemplate dialog{
      kLoginDialogId,
      "Enter login information",
      186,
      66,
      false,
      {
          {ui::kUnaddressedId, ControlKind::kStatic, "Username:", UnitRect{7, 9, 35, 8}, 0},
          {kLoginUser, ControlKind::kEdit, "", UnitRect{50, 7, 107, 14}, 0},
          {ui::kUnaddressedId, ControlKind::kStatic, "Password:", UnitRect{7, 29, 34, 8}, 0},
          {kLoginPassword, ControlKind::kEdit, "", UnitRect{50, 27, 107, 14}, ui::kStylePassword},
          {kLoginOk, ControlKind::kPushButton, "&OK", UnitRect{34, 46, 50, 14},
           ui::kStyleDefaultButton},
          {kLoginCancel, ControlKind::kPushButton, "&Cancel", UnitRect{100, 46, 50, 14}, 0},
      }};
  return dialog;
}

int HelpTopic(const std::string& monitor_type, int context) {
  // No monitor type ships a help topic of its own yet; hosts get topic 0.
  struct Entry {
    const char* type;
    int browse_topic;
    int login_topic;
  };
  static const Entry kTopics[] = {{"generic", 0, 0}};
  for (const Entry& entry : kTopics)
    if (EqualsIgnoringCase(monitor_type, entry.type))
      return context == 1 ? entry.login_topic : entry.browse_topic;
  return 0;
}

}  // namespace feedprobe
