#include "feedprobe/xml/performance_monitor.h"

#include <algorithm>
#include <vector>

#include "feedprobe/resources/string_table.h"
#include "xmlmonitorshared/replace_all.h"

namespace feedprobe {

using platform::xml::XmlNodeType;

namespace {

// An attribute's value when it has at least one character.
std::optional<std::string> NonEmptyAttribute(const XmlNode& node, const std::string& name) {
  std::optional<std::string> value = node.GetAttribute(name);
  if (value && value->empty()) return std::nullopt;
  return value;
}

bool IsElement(const XmlNode& node) { return node && node.Type() == XmlNodeType::kElement; }

}  // namespace

bool IsObjectElement(const XmlNode& node) { return node.Name() == "object"; }

bool IsCounterElement(const XmlNode& node) { return node.Name() == "counter"; }

std::optional<std::string> GetAttributeValue(const XmlNode& node, const std::string& name) {
  return node.GetAttribute(name);
}

bool RemoveAttribute(const XmlNode& node, const std::string& name) {
  XmlNode(node).RemoveAttribute(name);
  return true;
}

std::string GetDisplayName(const XmlNode& node) {
  if (std::optional<std::string> name = NonEmptyAttribute(node, "name")) return *name;
  if (std::optional<std::string> type = NonEmptyAttribute(node, "class")) return *type;
  return node.Name();
}

char QuoteFor(const std::string& value) {
  size_t first = value.find_first_of("'\"");
  return first != std::string::npos && value[first] == '"' ? '\'' : '"';
}

std::string BuildPredicate(const XmlNode& node) {
  std::string predicate;
  for (const XmlNode& attribute : node.Attributes()) {
    std::string name = attribute.Name();
    if (name != "name" && name != "class") continue;
    std::string text = attribute.Value();
    char quote = QuoteFor(text);
    predicate += predicate.empty() ? "[" : " and ";
    predicate += "(@" + name + "=" + quote + text + quote + ")";
  }
  if (!predicate.empty()) predicate += "]";
  return predicate;
}

std::string BuildNodePath(const XmlNode& node, int options) {
  auto step = [options](const XmlNode& element) {
    std::string text =
        (options & kPathDisplayNames) != 0 ? GetDisplayName(element) : element.Name();
    if ((options & kPathPredicates) != 0) text += BuildPredicate(element);
    return text;
  };
  // Steps from the node up; the document node above the root element has an empty step.
  std::vector<std::string> steps{step(node)};
  for (XmlNode parent = node.Parent(); parent; parent = parent.Parent()) {
    steps.push_back(parent.Name() == "#document" ? std::string() : step(parent));
  }
  std::string path = steps.front();
  for (size_t i = 1; i < steps.size(); ++i) path = steps[i] + "/" + path;
  return path;
}

bool FindParentPath(const std::string& path, const std::string& suffix, std::string& parent) {
  size_t at = path.rfind(suffix);
  if (at == std::string::npos) return false;
  parent = path.substr(0, at);
  return true;
}

NodePaths GetNodePaths(const XmlNode& node) {
  NodePaths paths;
  paths.identity = BuildNodePath(node, kIdentityPath);
  FindParentPath(paths.identity, "/" + node.Name() + BuildPredicate(node), paths.parent);
  return paths;
}

XmlNode SelectNode(const XmlNode& context, const std::string& query) {
  // No backslash doubling: XPath 1.0 literals are taken as written.
  return context.SelectSingleNode(query);
}

XmlNode SelectNodeByPath(const std::string& path, const XmlNode& context) {
  if (!context) return XmlNode();
  return SelectNode(context, path);
}

std::string GetDescription(const XmlNode& node, const XmlNode& description_root, bool show_name,
                           const std::string& lookup_name) {
  std::string description;
  std::optional<std::string> own = NonEmptyAttribute(node, "desc");
  if (!own && show_name) own = NonEmptyAttribute(node, "name");
  if (own) {
    description = *own;
  } else if (description_root) {
    std::string query;
    if (!lookup_name.empty() && lookup_name.front() == '/') {
      query = lookup_name;
    } else {
      query = "//" + lookup_name;
      if (IsObjectElement(node)) {
        // Objects are looked up by class alone, always in double quotation marks.
        if (std::optional<std::string> type = node.GetAttribute("class")) {
          query += "[@class=\"" + *type + "\"]";
        }
      } else {
        query += BuildPredicate(node);
      }
    }
    if (XmlNode found = SelectNode(description_root, query)) description = found.Text();
  }
  return ReplacedCopy(description.c_str(), "$quot;", "\"");
}

bool GetAttributeText(const XmlNode& element, const std::string& name, std::string& value,
                      std::string& error) {
  value.clear();
  if (!IsElement(element)) {
    error = "The attribute '" + name + "' cannot be read: the node is no element.";
    return false;
  }
  if (XmlNode attribute = element.GetAttributeNode(name)) value = attribute.Value();
  return true;
}

bool CreateAttribute(const std::string& name, const std::string& value, const XmlNode& element,
                     XmlDocument& factory, std::string& error) {
  XmlNode attribute = factory.CreateAttribute(name);
  if (!attribute) {
    error = LoadResourceString(kStrComActionFailure);
    return false;
  }
  attribute.SetValue(value);
  if (!XmlNode(element).SetAttributeNode(attribute)) {
    error = "The attribute '" + name + "' could not be attached to the element '" +
            element.Name() + "'.";
    return false;
  }
  return true;
}

bool SetAttribute(const std::string& name, const std::string& value, const XmlNode& element,
                  XmlDocument& factory, std::string& error) {
  XmlNode attribute = element.GetAttributeNode(name);
  if (!attribute) return CreateAttribute(name, value, element, factory, error);
  if (!attribute.SetValue(value)) {
    error = "The value of the attribute '" + name + "' could not be set.";
    return false;
  }
  return true;
}

bool AnnotateCounter(const XmlNode& counter, XmlDocument& factory,
                     const XmlNode& description_root, bool show_name, std::string& error) {
  std::string identity = GetNodePaths(counter).identity;
  if (!CreateAttribute("id", identity, counter, factory, error)) return false;

  // The published display path; the first 19 characters are "/PerformanceMonitor".
  std::string display = BuildNodePath(counter, kDisplayPath);
  display = display.empty() ? identity
                            : display.substr(std::min(display.size(), kDisplayPathPrefixLength));
  if (!CreateAttribute("OnlinePresentationName", display, counter, factory, error)) return false;

  std::string name;
  if (!GetAttributeText(counter, "name", name, error)) return false;
  std::string description = GetDescription(counter, description_root, show_name, name);
  return SetAttribute("desc", description, counter, factory, error);
}

bool AnnotateCounters(const XmlNode& list_root, const XmlNode& description_root, bool show_name,
                      std::string& error) {
  if (!list_root) {
    error = LoadResourceString(kStrPerformanceDataNotLoaded);
    return false;
  }
  std::vector<XmlNode> counters = list_root.GetElementsByTagName("counter");
  // Attribute nodes are made in a document of their own and copied onto the counters.
  XmlDocument factory;
  if (!factory.Created()) {
    error = "The document for new attributes could not be created.";
    return false;
  }
  for (const XmlNode& counter : counters) {
    if (!counter) continue;
    if (!AnnotateCounter(counter, factory, description_root, show_name, error)) return false;
  }
  return true;
}

std::string GetItemDisplayName(const XmlNode& root, const std::string& path) {
  std::string result;
  if (XmlNode node = SelectNodeByPath(path, root)) result = node.GetAttribute("name").value_or("");
  if (result.empty()) {
    size_t slash = path.rfind('/');
    result = slash == std::string::npos ? path : path.substr(slash + 1);
  }
  return result;
}

}  // namespace feedprobe
