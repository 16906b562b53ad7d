#include "feedprobe/xml/performance_monitor.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>
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

// An identity path taken apart into child steps with attribute equalities; the names and
// values point into the path. Paths deeper or with more tests than these arrays hold go to
// the engine.
struct ChildPath {
  std::array<platform::xml::XmlPathStep, 32> steps;
  std::array<platform::xml::XmlAttributeTest, 64> tests;
  size_t step_count = 0;
  size_t test_count = 0;
};

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// An ASCII name that XPath reads as a name test wherever it stands; the operator names are
// left to the engine.
bool ReadName(std::string_view path, size_t& at, std::string_view& name) {
  size_t start = at;
  if (at >= path.size() || !IsNameStart(path[at])) return false;
  while (at < path.size() && IsNameChar(path[at])) ++at;
  name = path.substr(start, at - start);
  return name != "and" && name != "or" && name != "div" && name != "mod";
}

// XPath accepts in a literal the characters of XML: valid UTF-8, no control characters but
// tab and line breaks, no U+FFFE or U+FFFF.
bool IsXmlText(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') return false;
      ++i;
      continue;
    }
    size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 0;
    if (length == 0 || byte > 0xF4 || i + length > text.size()) return false;
    uint32_t code = byte & (0x3F >> (length - 1));
    for (size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF)
      return false;
    i += length;
  }
  return true;
}

// "@name=" and a quoted literal.
bool ReadTest(std::string_view path, size_t& at, platform::xml::XmlAttributeTest& test) {
  if (at >= path.size() || path[at] != '@') return false;
  ++at;
  if (!ReadName(path, at, test.name)) return false;
  if (at + 1 >= path.size() || path[at] != '=') return false;
  char quote = path[++at];
  if (quote != '"' && quote != '\'') return false;
  size_t end = path.find(quote, ++at);
  if (end == std::string_view::npos) return false;
  test.value = path.substr(at, end - at);
  at = end + 1;
  return IsXmlText(test.value);
}

// The grammar of identity paths: "/" steps, each a name with an optional predicate of
// attribute equalities, each in parentheses or not, joined by " and ". Anything else, even
// what XPath reads the same way, is not taken apart.
bool ParseChildPath(std::string_view path, ChildPath& parsed) {
  size_t at = 0;
  if (path.empty()) return false;
  while (at < path.size()) {
    if (path[at] != '/' || parsed.step_count == parsed.steps.size()) return false;
    ++at;
    platform::xml::XmlPathStep& step = parsed.steps[parsed.step_count++];
    if (!ReadName(path, at, step.element)) return false;
    size_t first_test = parsed.test_count;
    if (at < path.size() && path[at] == '[') {
      ++at;
      for (;;) {
        if (parsed.test_count == parsed.tests.size()) return false;
        bool parenthesised = at < path.size() && path[at] == '(';
        if (parenthesised) ++at;
        if (!ReadTest(path, at, parsed.tests[parsed.test_count++])) return false;
        if (parenthesised) {
          if (at >= path.size() || path[at] != ')') return false;
          ++at;
        }
        if (path.substr(at, 5) == " and ") {
          at += 5;
          continue;
        }
        if (at >= path.size() || path[at] != ']') return false;
        ++at;
        break;
      }
    }
    step.tests = std::span<const platform::xml::XmlAttributeTest>(
        parsed.tests.data() + first_test, parsed.test_count - first_test);
  }
  return true;
}

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
  // Identity paths are answered from the document's child index; other queries by XPath.
  ChildPath parsed;
  if (ParseChildPath(path, parsed)) {
    return context.SelectChildPath(
        std::span<const platform::xml::XmlPathStep>(parsed.steps.data(), parsed.step_count));
  }
  return SelectNode(context, path);
}

bool IsIndexedPath(const std::string& path) {
  ChildPath parsed;
  return ParseChildPath(path, parsed);
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
