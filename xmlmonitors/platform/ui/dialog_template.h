// Dialog templates as data: the dialog's id, caption, size and controls, in dialog units.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/geometry.h"

namespace platform::ui {

enum class ControlKind {
  kStatic,    // a text label
  kEdit,      // a text box
  kGroupBox,  // a frame with a caption
  kPushButton,
  kTreeView,
  kListView,  // report view, one column
};

// Control styles, or-ed together.
enum ControlStyle : uint32_t {
  kStyleHidden = 1u << 0,         // not shown at creation
  kStyleDisabled = 1u << 1,       // disabled at creation
  kStyleDefaultButton = 1u << 2,  // push button pressed by Enter
  kStylePassword = 1u << 3,       // edit: shows a mask character per character typed
  kStyleReadOnly = 1u << 4,       // edit: the user cannot change the text
  kStyleMultiLine = 1u << 5,      // edit: text wraps over several lines
  kStyleCheckBoxes = 1u << 6,     // list: items carry check boxes (state images 1 and 2)
  kStyleSortAscending = 1u << 7,  // list: items kept sorted by label
};

// The id of controls nobody addresses (labels, frames).
constexpr int kUnaddressedId = 65535;
// Command ids of the OK and Cancel buttons; Enter and Esc send them.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

struct ControlTemplate {
  int id = kUnaddressedId;
  ControlKind kind = ControlKind::kStatic;
  std::string text;  // "&" marks the mnemonic letter of labels and buttons; "&&" is an "&"
  UnitRect rect;
  uint32_t styles = 0;
};

struct DialogTemplate {
  int id = 0;
  std::string caption;
  int width = 0;  // client area in dialog units
  int height = 0;
  bool resizable = false;                 // the user may resize the dialog (sizing messages)
  std::vector<ControlTemplate> controls;  // also the tab order
};

// A label without its mnemonic marks: "&Help" → "Help", "A && B" → "A & B".
std::string StripMnemonic(const std::string& text);

}  // namespace platform::ui
