// The controls of a dialog: common operations (text, show, enable, move) and the tree and
// list views with their items. Changes that a Windows control reports to its dialog are
// delivered to the dialog procedure as notifications (see dialog.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/dialog_template.h"
#include "platform/ui/geometry.h"

namespace platform::ui {

class Dialog;

class Control {
 public:
  Control(Dialog* owner, const ControlTemplate& control);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  int id() const { return id_; }
  ControlKind kind() const { return kind_; }
  uint32_t styles() const { return styles_; }
  bool HasStyle(uint32_t style) const { return (styles_ & style) != 0; }

  // The control's text: label, button text, edit contents, group box caption. Setting it
  // sends no notification.
  const std::string& text() const { return text_; }
  void SetText(const std::string& text) { text_ = text; }

  bool visible() const { return visible_; }
  void Show(bool visible) { visible_ = visible; }
  bool enabled() const { return enabled_; }
  void Enable(bool enabled) { enabled_ = enabled; }

  // Position and size in client pixels.
  const PixelRect& rect() const { return rect_; }
  void Move(const PixelRect& rect) { rect_ = rect; }

 protected:
  Dialog* owner_;

 private:
  int id_;
  ControlKind kind_;
  uint32_t styles_;
  std::string text_;
  bool visible_;
  bool enabled_;
  PixelRect rect_;
};

// A tree item's handle; kNoTreeItem is none (and the parent of root items). Handles are never
// reused within one tree.
using TreeItem = uint64_t;
constexpr TreeItem kNoTreeItem = 0;

enum class InsertPosition { kFirst, kLast };

class TreeView : public Control {
 public:
  using Control::Control;
  ~TreeView() override;

  // Inserts an item under the parent (kNoTreeItem: at the root level); kNoTreeItem when the
  // parent does not exist.
  TreeItem InsertItem(TreeItem parent, const std::string& text, int image, void* data,
                      InsertPosition position = InsertPosition::kLast);
  // Deletes every item, children before their parent; each deletion is notified with the
  // item's data so that its owner frees it. The selection becomes none without a
  // selection-changed notification.
  void DeleteAllItems();

  bool Exists(TreeItem item) const { return items_.count(item) != 0; }
  std::size_t ItemCount() const { return items_.size(); }
  const std::vector<TreeItem>& RootItems() const { return roots_; }
  TreeItem FirstRoot() const { return roots_.empty() ? kNoTreeItem : roots_.front(); }
  const std::vector<TreeItem>& Children(TreeItem item) const;
  TreeItem FirstChild(TreeItem item) const;
  TreeItem NextSibling(TreeItem item) const;
  TreeItem Parent(TreeItem item) const;

  std::string ItemText(TreeItem item) const;
  void SetItemText(TreeItem item, const std::string& text);
  int ItemImage(TreeItem item) const;
  void* ItemData(TreeItem item) const;

  TreeItem Selection() const { return selection_; }
  // Selects the item (kNoTreeItem: none) and notifies the change with the old and new item;
  // selecting the selected item again notifies nothing. The item's ancestors are expanded.
  void Select(TreeItem item);

  bool IsExpanded(TreeItem item) const;
  // Expands or collapses; collapsing an ancestor of the selection selects that ancestor.
  void Expand(TreeItem item, bool expanded);

  // Items shown, in order: roots and the children of expanded items, with their depth.
  std::vector<std::pair<TreeItem, int>> VisibleItems() const;
  // The first item whose labels from the root are the path; kNoTreeItem when none is.
  TreeItem FindByPath(const std::vector<std::string>& labels) const;

 private:
  struct Node {
    std::string text;
    int image = 0;
    void* data = nullptr;
    TreeItem parent = kNoTreeItem;
    std::vector<TreeItem> children;
    bool expanded = false;
  };
  std::vector<TreeItem>& SiblingsOf(TreeItem item);
  const std::vector<TreeItem>& SiblingsOf(TreeItem item) const;
  void DeleteSubtree(TreeItem item);
  void AddVisible(TreeItem item, int depth, std::vector<std::pair<TreeItem, int>>* out) const;

  std::map<TreeItem, Node> items_;
  std::vector<TreeItem> roots_;
  TreeItem selection_ = kNoTreeItem;
  TreeItem next_handle_ = 1;
};

// List item states: selection and focus bits, and the state image in the top bits (image 1
// = unticked box, image 2 = ticked box).
constexpr uint32_t kItemFocused = 0x0001;
constexpr uint32_t kItemSelected = 0x0002;
constexpr uint32_t kStateImageMask = 0xF000;
constexpr uint32_t kStateUnticked = 0x1000;
constexpr uint32_t kStateTicked = 0x2000;
constexpr uint32_t StateImage(int image) { return static_cast<uint32_t>(image) << 12; }

// Extended styles of a list.
constexpr uint32_t kListExCheckBoxes = 0x0004;
constexpr uint32_t kListExFullRowSelect = 0x0020;

// A list in report view with one column and single selection. Items are addressed by their
// index in display order; with kStyleSortAscending the order is ascending by label, without
// regard to letter case, an item going after those with an equal label.
class ListView : public Control {
 public:
  ListView(Dialog* owner, const ControlTemplate& control);
  ~ListView() override;

  void InsertColumn(int width) { column_width_ = width; }
  int ColumnWidth() const { return column_width_; }
  // The width inside the border, in pixels.
  int ClientWidth() const { return rect().width() > 4 ? rect().width() - 4 : 0; }
  // Check boxes: items inserted afterwards start unticked (state image 1).
  void SetExtendedStyle(uint32_t styles) { extended_styles_ |= styles; }
  uint32_t ExtendedStyle() const { return extended_styles_; }
  bool HasCheckBoxes() const { return (extended_styles_ & kListExCheckBoxes) != 0; }

  // Inserts an item and returns its index.
  int InsertItem(const std::string& label, void* data);
  // Deletes every item, each deletion notified with its index and data.
  void DeleteAllItems();

  int ItemCount() const { return static_cast<int>(items_.size()); }
  std::string ItemText(int index) const;
  void* ItemData(int index) const;
  uint32_t ItemState(int index, uint32_t mask) const;
  // Changes the bits of mask to those of state and notifies the change when there is one.
  // Selecting an item deselects the others first (each change notified).
  void SetItemState(int index, uint32_t state, uint32_t mask);
  // The first item after start (-1: from the beginning) that is selected; -1 when none.
  int NextSelected(int start = -1) const;
  // The first item with the label; -1 when none.
  int FindLabel(const std::string& label) const;

 private:
  struct Item {
    std::string label;
    void* data = nullptr;
    uint32_t state = 0;
  };
  void ChangeState(int index, uint32_t state, uint32_t mask);

  std::vector<Item> items_;
  int column_width_ = 0;
  uint32_t extended_styles_ = 0;
};

}  // namespace platform::ui
