#include "platform/ui/controls.h"

#include <algorithm>
#include <cctype>

#include "platform/ui/dialog.h"

namespace platform::ui {

namespace {

const std::vector<TreeItem>& NoItems() {
  static const std::vector<TreeItem> none;
  return none;
}

// Ascending without regard to ASCII letter case.
bool LabelLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) <
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string StripMnemonic(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

Control::Control(Dialog* owner, const ControlTemplate& control)
    : owner_(owner),
      id_(control.id),
      kind_(control.kind),
      styles_(control.styles),
      text_(control.text),
      visible_((control.styles & kStyleHidden) == 0),
      enabled_((control.styles & kStyleDisabled) == 0),
      rect_(UnitsToPixels(control.rect)) {}

// --- Tree view ---

TreeView::~TreeView() = default;

TreeItem TreeView::InsertItem(TreeItem parent, const std::string& text, int image, void* data,
                              InsertPosition position) {
  if (parent != kNoTreeItem && !Exists(parent)) return kNoTreeItem;
  const TreeItem item = next_handle_++;
  Node node;
  node.text = text;
  node.image = image;
  node.data = data;
  node.parent = parent;
  items_.emplace(item, std::move(node));
  std::vector<TreeItem>& siblings = parent == kNoTreeItem ? roots_ : items_[parent].children;
  if (position == InsertPosition::kFirst) {
    siblings.insert(siblings.begin(), item);
  } else {
    siblings.push_back(item);
  }
  return item;
}

void TreeView::DeleteSubtree(TreeItem item) {
  const std::vector<TreeItem> children = items_[item].children;
  for (TreeItem child : children) DeleteSubtree(child);
  Message message;
  message.kind = MessageKind::kNotify;
  message.control_id = id();
  message.notify = NotifyCode::kTreeItemDeleted;
  message.tree.old_item = item;
  message.tree.old_data = items_[item].data;
  const TreeItem parent = items_[item].parent;
  if (parent != kNoTreeItem && Exists(parent)) {
    std::vector<TreeItem>& siblings = items_[parent].children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), item), siblings.end());
  }
  items_.erase(item);
  if (selection_ == item) selection_ = kNoTreeItem;
  owner_->Deliver(message);
}

void TreeView::DeleteAllItems() {
  const std::vector<TreeItem> roots = roots_;
  roots_.clear();
  selection_ = kNoTreeItem;
  for (TreeItem root : roots) DeleteSubtree(root);
}

const std::vector<TreeItem>& TreeView::Children(TreeItem item) const {
  auto found = items_.find(item);
  return found == items_.end() ? NoItems() : found->second.children;
}

TreeItem TreeView::FirstChild(TreeItem item) const {
  const std::vector<TreeItem>& children = Children(item);
  return children.empty() ? kNoTreeItem : children.front();
}

std::vector<TreeItem>& TreeView::SiblingsOf(TreeItem item) {
  const TreeItem parent = items_[item].parent;
  return parent == kNoTreeItem ? roots_ : items_[parent].children;
}

const std::vector<TreeItem>& TreeView::SiblingsOf(TreeItem item) const {
  const TreeItem parent = items_.at(item).parent;
  return parent == kNoTreeItem ? roots_ : items_.at(parent).children;
}

TreeItem TreeView::NextSibling(TreeItem item) const {
  if (!Exists(item)) return kNoTreeItem;
  const std::vector<TreeItem>& siblings = SiblingsOf(item);
  auto at = std::find(siblings.begin(), siblings.end(), item);
  return at == siblings.end() || at + 1 == siblings.end() ? kNoTreeItem : *(at + 1);
}

TreeItem TreeView::Parent(TreeItem item) const {
  auto found = items_.find(item);
  return found == items_.end() ? kNoTreeItem : found->second.parent;
}

std::string TreeView::ItemText(TreeItem item) const {
  auto found = items_.find(item);
  return found == items_.end() ? std::string() : found->second.text;
}

void TreeView::SetItemText(TreeItem item, const std::string& text) {
  auto found = items_.find(item);
  if (found != items_.end()) found->second.text = text;
}

int TreeView::ItemImage(TreeItem item) const {
  auto found = items_.find(item);
  return found == items_.end() ? 0 : found->second.image;
}

void* TreeView::ItemData(TreeItem item) const {
  auto found = items_.find(item);
  return found == items_.end() ? nullptr : found->second.data;
}

void TreeView::Select(TreeItem item) {
  if (item != kNoTreeItem && !Exists(item)) return;
  if (item == selection_) return;
  for (TreeItem up = Parent(item); up != kNoTreeItem; up = Parent(up)) items_[up].expanded = true;
  Message message;
  message.kind = MessageKind::kNotify;
  message.control_id = id();
  message.notify = NotifyCode::kTreeSelectionChanged;
  message.tree.old_item = selection_;
  message.tree.old_data = ItemData(selection_);
  message.tree.new_item = item;
  message.tree.new_data = ItemData(item);
  selection_ = item;
  owner_->Deliver(message);
}

bool TreeView::IsExpanded(TreeItem item) const {
  auto found = items_.find(item);
  return found != items_.end() && found->second.expanded;
}

void TreeView::Expand(TreeItem item, bool expanded) {
  auto found = items_.find(item);
  if (found == items_.end()) return;
  found->second.expanded = expanded;
  if (expanded) return;
  for (TreeItem up = Parent(selection_); up != kNoTreeItem; up = Parent(up)) {
    if (up == item) {
      Select(item);
      break;
    }
  }
}

void TreeView::AddVisible(TreeItem item, int depth,
                          std::vector<std::pair<TreeItem, int>>* out) const {
  out->emplace_back(item, depth);
  const Node& node = items_.at(item);
  if (!node.expanded) return;
  for (TreeItem child : node.children) AddVisible(child, depth + 1, out);
}

std::vector<std::pair<TreeItem, int>> TreeView::VisibleItems() const {
  std::vector<std::pair<TreeItem, int>> out;
  for (TreeItem root : roots_) AddVisible(root, 0, &out);
  return out;
}

TreeItem TreeView::FindByPath(const std::vector<std::string>& labels) const {
  if (labels.empty()) return kNoTreeItem;
  const std::vector<TreeItem>* level = &roots_;
  TreeItem found = kNoTreeItem;
  for (const std::string& label : labels) {
    found = kNoTreeItem;
    for (TreeItem item : *level) {
      if (items_.at(item).text == label) {
        found = item;
        break;
      }
    }
    if (found == kNoTreeItem) return kNoTreeItem;
    level = &items_.at(found).children;
  }
  return found;
}

// --- List view ---

ListView::ListView(Dialog* owner, const ControlTemplate& control) : Control(owner, control) {
  if (control.styles & kStyleCheckBoxes) extended_styles_ |= kListExCheckBoxes;
}

ListView::~ListView() = default;

int ListView::InsertItem(const std::string& label, void* data) {
  Item item;
  item.label = label;
  item.data = data;
  if (HasCheckBoxes()) item.state = kStateUnticked;
  auto at = items_.end();
  if (HasStyle(kStyleSortAscending)) {
    at =
        std::upper_bound(items_.begin(), items_.end(), label,
                         [](const std::string& l, const Item& i) { return LabelLess(l, i.label); });
  }
  const int index = static_cast<int>(at - items_.begin());
  items_.insert(at, std::move(item));
  return index;
}

void ListView::DeleteAllItems() {
  std::vector<Item> items;
  items.swap(items_);
  for (std::size_t i = 0; i < items.size(); ++i) {
    Message message;
    message.kind = MessageKind::kNotify;
    message.control_id = id();
    message.notify = NotifyCode::kListItemDeleted;
    message.list.index = static_cast<int>(i);
    message.list.data = items[i].data;
    message.list.old_state = items[i].state;
    owner_->Deliver(message);
  }
}

std::string ListView::ItemText(int index) const {
  return index >= 0 && index < ItemCount() ? items_[index].label : std::string();
}

void* ListView::ItemData(int index) const {
  return index >= 0 && index < ItemCount() ? items_[index].data : nullptr;
}

uint32_t ListView::ItemState(int index, uint32_t mask) const {
  return index >= 0 && index < ItemCount() ? items_[index].state & mask : 0;
}

void ListView::ChangeState(int index, uint32_t state, uint32_t mask) {
  if (index < 0 || index >= ItemCount()) return;
  const uint32_t old_state = items_[index].state;
  const uint32_t new_state = (old_state & ~mask) | (state & mask);
  if (new_state == old_state) return;
  items_[index].state = new_state;
  Message message;
  message.kind = MessageKind::kNotify;
  message.control_id = id();
  message.notify = NotifyCode::kListItemChanged;
  message.list.index = index;
  message.list.data = items_[index].data;
  message.list.old_state = old_state;
  message.list.new_state = new_state;
  message.list.changed = old_state ^ new_state;
  owner_->Deliver(message);
}

void ListView::SetItemState(int index, uint32_t state, uint32_t mask) {
  if (index < 0 || index >= ItemCount()) return;
  // Single selection: the others lose selection and focus first.
  for (uint32_t bit : {kItemSelected, kItemFocused}) {
    if ((mask & bit) && (state & bit)) {
      for (int other = 0; other < ItemCount(); ++other) {
        if (other != index) ChangeState(other, 0, bit);
      }
    }
  }
  ChangeState(index, state, mask);
}

int ListView::NextSelected(int start) const {
  for (int i = start + 1; i < ItemCount(); ++i) {
    if (items_[i].state & kItemSelected) return i;
  }
  return -1;
}

int ListView::FindLabel(const std::string& label) const {
  for (int i = 0; i < ItemCount(); ++i) {
    if (items_[i].label == label) return i;
  }
  return -1;
}

}  // namespace platform::ui
