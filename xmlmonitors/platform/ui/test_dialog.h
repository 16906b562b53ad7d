// A small dialog for the toolkit's tests: a tree whose item B holds three counters, a checked
// list of the selected item's counters, a name box, a read-only description box, OK, Cancel,
// Help and a hidden button; it keeps a log of the messages it receives, frees item data on
// deletion and lays itself out on sizing with a minimum size.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"

namespace platform::ui::ui_testing {

// scale 2 gives a dialog too large for an 80 × 24 terminal.
inline DialogTemplate TestTemplate(int id = 300, bool resizable = true, int scale = 1) {
  auto r = [scale](int x, int y, int w, int h) {
    return UnitRect{x * scale, y * scale, w * scale, h};
  };
  DialogTemplate t;
  t.id = id;
  t.caption = "Terminal Test";
  t.width = 240 * scale;
  t.height = 150 * scale;
  t.resizable = resizable;
  t.controls = {
      {10, ControlKind::kTreeView, "", UnitRect{5, 5, 110 * scale, 100 * scale}, 0},
      {11, ControlKind::kListView, "", UnitRect{120 * scale, 5, 110 * scale, 100 * scale},
       kStyleCheckBoxes | kStyleSortAscending},
      {kUnaddressedId, ControlKind::kStatic, "&Name:", r(5, 112, 30, 8), 0},
      {12, ControlKind::kEdit, "", r(40, 110, 80, 12), 0},
      {13, ControlKind::kEdit, "", r(125, 110, 110, 20), kStyleReadOnly | kStyleMultiLine},
      {4, ControlKind::kPushButton, "Hidden", r(5, 132, 50, 14), kStyleHidden},
      {kIdOk, ControlKind::kPushButton, "&OK", r(60, 132, 50, 14), kStyleDefaultButton},
      {kIdCancel, ControlKind::kPushButton, "&Cancel", r(115, 132, 50, 14), 0},
      {3, ControlKind::kPushButton, "&Help", r(170, 132, 50, 14), 0},
  };
  return t;
}

class TestDialog {
 public:
  std::vector<std::string> log;
  int live_data = 0;                      // item data not yet freed
  std::vector<std::string> labels_at_ok;  // "label state" of each list item when OK came
  std::string name_at_ok;
  PixelRect window_at_end, ok_rect_at_end;

  DialogProcedure Procedure() {
    return [this](Dialog& dialog, Message& message) { return Handle(dialog, message); };
  }

 private:
  void* Data(const std::string& label) {
    ++live_data;
    return new std::string(label);
  }
  static std::string Label(void* data) {
    return data == nullptr ? "none" : *static_cast<std::string*>(data);
  }
  void Free(void* data) {
    if (data == nullptr) return;
    --live_data;
    delete static_cast<std::string*>(data);
  }
  static std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
  }
  void Snapshot(Dialog& dialog) {
    window_at_end = dialog.WindowRect();
    ok_rect_at_end = dialog.FindControl(kIdOk)->rect();
  }

  bool Handle(Dialog& dialog, Message& message) {
    TreeView* tree = dialog.Tree(10);
    ListView* list = dialog.List(11);
    switch (message.kind) {
      case MessageKind::kInit: {
        log.push_back("init " + std::to_string(message.parameter));
        const TreeItem root = tree->InsertItem(kNoTreeItem, "Root", 0, Data("Root"));
        tree->InsertItem(root, "A", 0, Data("A"));
        tree->InsertItem(root, "B", 0, Data("B"));
        tree->Expand(root, true);
        list->InsertColumn(list->ClientWidth());
        minimum_ = current_ = dialog.WindowRect();
        return true;
      }
      case MessageKind::kNotify:
        switch (message.notify) {
          case NotifyCode::kTreeSelectionChanged: {
            log.push_back("tree-selected " + Label(message.tree.old_data) + "->" +
                          Label(message.tree.new_data));
            list->DeleteAllItems();
            const std::string selected = Label(message.tree.new_data);
            if (selected == "B") {
              for (const char* label : {"zeta", "alpha", "Mid"})
                list->InsertItem(label, Data(label));
            } else if (selected == "A") {
              list->InsertItem("one", Data("one"));
            }
            return true;
          }
          case NotifyCode::kTreeItemDeleted:
            log.push_back("tree-deleted " + Label(message.tree.old_data));
            Free(message.tree.old_data);
            return true;
          case NotifyCode::kListItemChanged:
            log.push_back("list-changed " + Label(message.list.data) + " " +
                          Hex(message.list.old_state) + "->" + Hex(message.list.new_state));
            if (message.list.new_state & kItemSelected) {
              dialog.SetControlText(13, "About " + Label(message.list.data));
            }
            return true;
          case NotifyCode::kListItemDeleted:
            log.push_back("list-deleted " + Label(message.list.data));
            Free(message.list.data);
            return true;
        }
        return false;
      case MessageKind::kCommand:
        log.push_back("command " + std::to_string(message.control_id) + " " +
                      std::to_string(message.code));
        if (message.code != kButtonClicked) return false;
        if (message.control_id == kIdOk) {
          for (int i = 0; i < list->ItemCount(); ++i) {
            labels_at_ok.push_back(list->ItemText(i) + " " +
                                   Hex(list->ItemState(i, kStateImageMask)));
          }
          name_at_ok = dialog.ControlText(12);
          Snapshot(dialog);
          dialog.EndDialog(1);
          return true;
        }
        if (message.control_id == kIdCancel) {
          Snapshot(dialog);
          dialog.EndDialog(0);
          return true;
        }
        if (message.control_id == 3) {
          SendToRootOwner(dialog.parent(), FEEDPROBE_HELP_MESSAGE, 7, 0);
          return true;
        }
        return false;
      case MessageKind::kHelp:
        log.push_back("help " + std::to_string(message.control_id));
        SendToRootOwner(dialog.parent(), FEEDPROBE_HELP_MESSAGE, 7, 0);
        return true;
      case MessageKind::kSizing: {
        PixelRect& p = *message.proposed;
        log.push_back("sizing " + std::to_string(p.left) + "," + std::to_string(p.top) + "," +
                      std::to_string(p.right) + "," + std::to_string(p.bottom));
        // Never smaller than created; the OK button follows the bottom right corner.
        if (p.width() <= minimum_.width()) p.right = p.left + minimum_.width();
        if (p.height() <= minimum_.height()) p.bottom = p.top + minimum_.height();
        const int dw = p.width() - current_.width(), dh = p.height() - current_.height();
        PixelRect ok = dialog.FindControl(kIdOk)->rect();
        dialog.FindControl(kIdOk)->Move(
            PixelRect{ok.left + dw, ok.top + dh, ok.right + dw, ok.bottom + dh});
        current_ = p;
        return true;
      }
      case MessageKind::kDestroy:
        log.push_back("destroy");
        return true;
    }
    return false;
  }

  PixelRect minimum_, current_;
};

}  // namespace platform::ui::ui_testing
