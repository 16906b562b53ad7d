// The browse dialog: components of a host's metric list as a tree, the counters of the
// selected component as a checked list, a description box; what the user ticks ends up in
// the host monitor's browse selection.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "feedprobe/feedprobe.h"
#include "platform/ui/dialog.h"
#include "platform/xml/dom.h"

namespace feedprobe {

class HostMonitor;
class CXmlDocLoader;

// What the browse entry point and the dialog share.
struct BrowseParameter {
  bool result = false;  // set by the dialog: OK with a loaded list
  HostMonitor* monitor = nullptr;
};

// Data of a component item of the tree.
struct ComponentItem {
  std::string identity_path;
  std::vector<std::string> counter_paths;  // in document order
};

// Runs the browse dialog modally over the parent window.
int RunBrowseDialog(FeedprobeHostWindow* parent, BrowseParameter& parameter);

// The operations of the dialog, for its procedure and its tests.
void ShowLoadFailure(platform::ui::Dialog& dialog, const CXmlDocLoader& loader);
bool FillComponentTree(const platform::xml::XmlNode& list_root, platform::ui::TreeView& tree);
void FillCounterList(platform::ui::ListView& list, const ComponentItem* component,
                     const platform::xml::XmlNode& list_root,
                     const std::map<std::string, bool>& selection);
void StoreCounterChecks(const ComponentItem* component, const platform::ui::ListView& list,
                        std::map<std::string, bool>& selection);
bool SelectSubtree(const platform::ui::TreeView& tree, std::map<std::string, bool>& selection,
                   platform::ui::TreeItem item);
// Asks the host's window to show help: message 869 with the monitor type's topic.
void RequestHelp(FeedprobeHostWindow* window, int context);

}  // namespace feedprobe
