#include "feedprobe/selection/browse_dialog.h"

#include <mutex>

#include "feedprobe/collection/host_monitor.h"
#include "feedprobe/plugin/configuration.h"
#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/plugin/plugin_state.h"
#include "feedprobe/resources/dialogs.h"
#include "feedprobe/resources/string_table.h"
#include "feedprobe/xml/performance_monitor.h"
#include "xmlmonitorshared/cstring.h"
#include "xmlmonitorshared/format_string.h"
#include "xmlmonitorshared/replace_all.h"

namespace feedprobe {

namespace ui = platform::ui;
using platform::xml::XmlNode;

namespace {

std::string Unquoted(const std::string& text) { return ReplacedCopy(text.c_str(), "$quot;", "\""); }

// The dialog's state while it is open.
struct BrowseState {
  BrowseParameter* parameter = nullptr;
  ui::PixelRect minimum;
  ui::PixelRect current;
};

HostMonitor& Monitor(const BrowseState& state) { return *state.parameter->monitor; }

std::string ElementDescription(const XmlNode& root, const std::string& path) {
  PluginState& plugin = State();
  XmlNode element = SelectNodeByPath(path, root);
  if (!element) return {};
  return GetDescription(element, plugin.description.root_node(),
                        plugin.show_name_when_no_description, element.Name());
}

void SetUpContent(ui::Dialog& dialog, BrowseState& state) {
  HostMonitor& monitor = Monitor(state);
  ui::TreeView& tree = *dialog.Tree(kBrowseTree);
  ui::ListView& list = *dialog.List(kBrowseList);
  dialog.SetControlText(kBrowseHostGroup, StringPrintf("%s: %s", LoadResourceString(kStrHost),
                                                       monitor.host_name().c_str()));
  list.InsertColumn(list.ClientWidth());
  list.SetExtendedStyle(ui::kListExCheckBoxes | ui::kListExFullRowSelect);

  std::lock_guard<std::recursive_mutex> lock(monitor.document_mutex());
  bool loaded = !State().refresh_metric_list && monitor.list_loaded();
  if (!loaded) {
    tree.InsertItem(ui::kNoTreeItem, LoadResourceString(kStrLoadingPerformanceData), 0, nullptr);
    list.Enable(false);
    tree.Enable(false);
    dialog.Update();
    loaded = monitor.ListPass();
    if (loaded) {
      list.Enable(true);
      tree.Enable(true);
    }
  }
  list.DeleteAllItems();
  tree.DeleteAllItems();
  std::string root_text;
  if (loaded) {
    root_text = LoadResourceString(kStrPerformanceDataRoot);
    dialog.SetControlText(kBrowseDescriptionGroup, LoadResourceString(kStrDescriptionCaption));
  } else {
    root_text = LoadResourceString(kStrPerformanceDataNotLoaded);
    ShowLoadFailure(dialog, monitor.list_loader());
  }
  ui::TreeItem root = tree.InsertItem(ui::kNoTreeItem, root_text, 0, nullptr, ui::InsertPosition::kFirst);
  if (loaded) {
    loaded = FillComponentTree(monitor.list_loader().root_node(), tree);
    if (loaded) tree.Expand(root, true);
  }
  std::string recursive = ConfigString("EnableRecursiveSelection", "FALSE", 512);
  if (EqualsIgnoringCase(recursive, "true")) {
    if (ui::Control* button = dialog.FindControl(kBrowseSelectRecursively)) button->Show(true);
  }
  state.parameter->result = loaded;
}

void OnTreeNotify(ui::Dialog& dialog, BrowseState& state, const ui::Message& message) {
  HostMonitor& monitor = Monitor(state);
  if (message.notify == ui::NotifyCode::kTreeItemDeleted) {
    delete static_cast<ComponentItem*>(message.tree.old_data);
    return;
  }
  if (message.notify != ui::NotifyCode::kTreeSelectionChanged) return;
  std::lock_guard<std::recursive_mutex> lock(monitor.document_mutex());
  ui::ListView& list = *dialog.List(kBrowseList);
  const XmlNode& root = monitor.list_loader().root_node();
  StoreCounterChecks(static_cast<ComponentItem*>(message.tree.old_data), list,
                     monitor.browse_selection());
  auto* component = static_cast<ComponentItem*>(message.tree.new_data);
  FillCounterList(list, component, root, monitor.browse_selection());
  dialog.SetControlText(kBrowseDescription,
                        component ? ElementDescription(root, component->identity_path) : "");
}

void OnListNotify(ui::Dialog& dialog, BrowseState& state, const ui::Message& message) {
  if (message.notify == ui::NotifyCode::kListItemDeleted) {
    delete static_cast<std::string*>(message.list.data);
    return;
  }
  if (message.notify != ui::NotifyCode::kListItemChanged) return;
  ui::ListView& list = *dialog.List(kBrowseList);
  int selected = list.NextSelected();
  if (selected < 0) return;
  auto* path = static_cast<std::string*>(list.ItemData(selected));
  if (path == nullptr) return;
  HostMonitor& monitor = Monitor(state);
  std::lock_guard<std::recursive_mutex> lock(monitor.document_mutex());
  dialog.SetControlText(kBrowseDescription,
                        ElementDescription(monitor.list_loader().root_node(), *path));
}

// Keeps the created size as the minimum and lays the controls out for the proposed size.
void OnSizing(ui::Dialog& dialog, BrowseState& state, ui::PixelRect& proposed) {
  if (proposed.height() <= state.minimum.height())
    proposed.bottom = proposed.top + state.minimum.height();
  if (proposed.width() <= state.minimum.width())
    proposed.right = proposed.left + state.minimum.width();
  int dw = proposed.width() - state.current.width();
  int dh = proposed.height() - state.current.height();
  auto rect = [&](int id) { return dialog.FindControl(id)->rect(); };
  auto move = [&](int id, const ui::PixelRect& r) { dialog.FindControl(id)->Move(r); };

  ui::PixelRect group = rect(kBrowseHostGroup);
  group.right += dw;
  group.bottom += dh;
  move(kBrowseHostGroup, group);
  for (int id : {kBrowseOk, kBrowseCancel, kBrowseHelp}) {
    ui::PixelRect r = rect(id);
    move(id, {r.left + dw, r.top + dh, r.right + dw, r.bottom + dh});
  }
  for (int id : {kBrowseDescriptionGroup, kBrowseDescription}) {
    ui::PixelRect r = rect(id);
    move(id, {r.left, r.top + dh, r.right + dw, r.bottom + dh});
  }
  ui::PixelRect tree = rect(kBrowseTree);
  int gap = tree.left - group.left;
  int column = (group.width() - 3 * gap) / 2;
  move(kBrowseTree, {tree.left, tree.top, tree.left + column, tree.bottom + dh});
  ui::PixelRect list = rect(kBrowseList);
  int list_left = group.left + 2 * gap + column;
  move(kBrowseList, {list_left, list.top, list_left + column, list.bottom + dh});
  ui::PixelRect label = rect(kBrowseListLabel);
  move(kBrowseListLabel, {list_left, label.top, list_left + label.width(), label.bottom});
  state.current = proposed;
}

bool BrowseProcedure(BrowseState& state, ui::Dialog& dialog, ui::Message& message) {
  switch (message.kind) {
    case ui::MessageKind::kInit:
      state.parameter = reinterpret_cast<BrowseParameter*>(message.parameter);
      dialog.SetCaption(StringPrintf("%s %s", DialogTitle().c_str(),
                                     LoadResourceString(kStrConfiguration)));
      dialog.Update();
      {
        PluginState& plugin = State();
        std::lock_guard<std::mutex> lock(plugin.selection_window_mutex);
        plugin.selection_window = &dialog;
      }
      SetUpContent(dialog, state);
      state.minimum = state.current = dialog.WindowRect();
      return true;
    case ui::MessageKind::kNotify:
      if (message.control_id == kBrowseTree) OnTreeNotify(dialog, state, message);
      if (message.control_id == kBrowseList) OnListNotify(dialog, state, message);
      return true;
    case ui::MessageKind::kHelp:
      RequestHelp(dialog.parent(), 0);
      return true;
    case ui::MessageKind::kSizing:
      if (message.proposed) OnSizing(dialog, state, *message.proposed);
      return true;
    case ui::MessageKind::kCommand: {
      if (message.code != ui::kButtonClicked) return false;
      HostMonitor& monitor = Monitor(state);
      ui::TreeView& tree = *dialog.Tree(kBrowseTree);
      ui::ListView& list = *dialog.List(kBrowseList);
      std::lock_guard<std::recursive_mutex> lock(monitor.document_mutex());
      switch (message.control_id) {
        case kBrowseOk:
          if (tree.Selection() != ui::kNoTreeItem)
            StoreCounterChecks(static_cast<ComponentItem*>(tree.ItemData(tree.Selection())), list,
                               monitor.browse_selection());
          state.parameter->result = true;
          dialog.EndDialog(1);
          return true;
        case kBrowseCancel:
          state.parameter->result = false;
          dialog.EndDialog(0);
          return true;
        case kBrowseHelp:
          RequestHelp(dialog.parent(), 0);
          return true;
        case kBrowseSelectRecursively:
          if (SelectSubtree(tree, monitor.browse_selection(), tree.Selection()))
            FillCounterList(list, static_cast<ComponentItem*>(tree.ItemData(tree.Selection())),
                            monitor.list_loader().root_node(), monitor.browse_selection());
          return true;
      }
      return false;
    }
    case ui::MessageKind::kDestroy: {
      PluginState& plugin = State();
      std::lock_guard<std::mutex> lock(plugin.selection_window_mutex);
      plugin.selection_window = nullptr;
      return true;
    }
  }
  return false;
}

}  // namespace

void ShowLoadFailure(ui::Dialog& dialog, const CXmlDocLoader& loader) {
  dialog.SetControlText(kBrowseDescriptionGroup, LoadResourceString(kStrErrorDetails));
  std::string text;
  switch (loader.error_kind()) {
    case kLoaderNoError: text = LoadResourceString(kStrUnspecifiedError); break;
    case kLoaderBadHost: text = LoadResourceString(kStrBadHostName); break;
    case kLoaderConnectFailed: {
      char buffer[1024];
      ReportError(buffer, sizeof buffer, kMsgHostUnreachable,
                  {loader.host(), loader.port(), loader.error_text()});
      text = buffer;
      break;
    }
    case kLoaderNoDocument: text = LoadResourceString(kStrParserNotCreated); break;
    default: text = loader.error_text(); break;
  }
  dialog.SetControlText(kBrowseDescription, text);
}

bool FillComponentTree(const XmlNode& list_root, ui::TreeView& tree) {
  std::map<std::string, ui::TreeItem> items;
  ui::TreeItem root_item = tree.FirstRoot();
  if (!list_root) return true;
  for (const XmlNode& element : list_root.GetElementsByTagName("*")) {
    bool component = IsObjectElement(element);
    bool counter = !component && IsCounterElement(element);
    if (!component && !counter) continue;
    if (counter) RemoveAttribute(element, "val");
    NodePaths paths = GetNodePaths(element);
    auto parent = items.find(paths.parent);
    ui::TreeItem parent_item = parent != items.end() ? parent->second : root_item;
    if (counter) {
      // A counter outside any component has no list to go to.
      if (auto* data = static_cast<ComponentItem*>(tree.ItemData(parent_item)))
        data->counter_paths.push_back(paths.identity);
      continue;
    }
    std::string label = GetAttributeValue(element, "class").value_or("");
    std::string name = GetAttributeValue(element, "name").value_or("");
    if (!name.empty()) label += " \"" + Unquoted(name) + "\"";
    auto* data = new ComponentItem{paths.identity, {}};
    ui::TreeItem item = tree.InsertItem(parent_item, label, 0, data);
    if (item == ui::kNoTreeItem) {
      delete data;
      continue;
    }
    items[paths.identity] = item;
  }
  return true;
}

void FillCounterList(ui::ListView& list, const ComponentItem* component, const XmlNode& list_root,
                     const std::map<std::string, bool>& selection) {
  list.DeleteAllItems();
  if (component == nullptr) return;
  for (const std::string& path : component->counter_paths) {
    std::string label = Unquoted(GetItemDisplayName(list_root, path));
    int index = list.InsertItem(label, new std::string(path));
    auto found = selection.find(path);
    bool ticked = found != selection.end() && found->second;
    list.SetItemState(index, ticked ? ui::kStateTicked : ui::kStateUnticked, ui::kStateImageMask);
  }
}

void StoreCounterChecks(const ComponentItem* component, const ui::ListView& list,
                        std::map<std::string, bool>& selection) {
  if (component == nullptr) return;
  for (int i = 0; i < list.ItemCount(); ++i) {
    auto* path = static_cast<std::string*>(list.ItemData(i));
    if (path == nullptr) continue;
    if (list.ItemState(i, ui::kStateImageMask) == ui::kStateTicked) selection[*path] = true;
    else selection.erase(*path);
  }
}

bool SelectSubtree(const ui::TreeView& tree, std::map<std::string, bool>& selection,
                   ui::TreeItem item) {
  if (item == ui::kNoTreeItem || !tree.Exists(item)) return false;
  if (auto* component = static_cast<ComponentItem*>(tree.ItemData(item)))
    for (const std::string& path : component->counter_paths) selection[path] = true;
  for (ui::TreeItem child = tree.FirstChild(item); child != ui::kNoTreeItem;
       child = tree.NextSibling(child))
    SelectSubtree(tree, selection, child);
  return true;
}

void RequestHelp(FeedprobeHostWindow* window, int context) {
  int topic = HelpTopic(MonitorType(), context);
  ui::SendToRootOwner(window, FEEDPROBE_HELP_MESSAGE, static_cast<uintptr_t>(topic), 0);
}

int RunBrowseDialog(FeedprobeHostWindow* parent, BrowseParameter& parameter) {
  BrowseState state;
  return ui::RunDialog(
      BrowseDialogTemplate(), parent,
      [&state](ui::Dialog& dialog, ui::Message& message) {
        return BrowseProcedure(state, dialog, message);
      },
      reinterpret_cast<intptr_t>(&parameter));
}

}  // namespace feedprobe
