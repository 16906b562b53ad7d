// The metric catalogue: operations on PerformanceMonitor documents, the normalised tree of
// components ("object" elements) and counters ("counter" elements) that the configured
// stylesheets make of a server's XML.
//
// An element's identity path is the measurement identifier exchanged with the host: "/" and one
// step per element from the root element down, each step the element name and, when the element
// has a `name` or `class` attribute, a predicate built from them in document order:
//
//     /PerformanceMonitor/object[(@name="JVM")]/counter[(@name="Heap") and (@class="Memory")]
//
// It is an XPath query: the data pass selects the counter in the metric data document with it.
// The display path uses display names (name, else class, else element name) and no predicates;
// its published form drops the leading "/PerformanceMonitor" (/JVM/Heap).
//
// "$quot;" in names, classes and descriptions stands for a double quotation mark; paths and
// predicates keep it, descriptions show the real mark.
//
// Texts are UTF-8. The functions hold no state.
#pragma once

#include <optional>
#include <string>

#include "platform/xml/dom.h"

namespace feedprobe {

using platform::xml::XmlDocument;
using platform::xml::XmlNode;

// Length of "/PerformanceMonitor", the part of a display path that is not published.
inline constexpr size_t kDisplayPathPrefixLength = 19;

// Element name is exactly "object" / "counter".
bool IsObjectElement(const XmlNode& node);
bool IsCounterElement(const XmlNode& node);

// The attribute's value, also when it is empty; none when the node has no such attribute (or
// no attributes at all).
std::optional<std::string> GetAttributeValue(const XmlNode& node, const std::string& name);

// Removes the attribute if the node has it; always true.
bool RemoveAttribute(const XmlNode& node, const std::string& name);

// `name` if not empty, else `class` if not empty, else the element name.
std::string GetDisplayName(const XmlNode& node);

// The quotation mark for a value in a query: ' when the first quotation mark in the value is a
// double one, else ". A value holding both kinds cannot be quoted; a query with it finds nothing.
char QuoteFor(const std::string& value);

// "[(@name="Heap") and (@class="Memory")]" from the node's `name` and `class` attributes in
// document order; "" (no predicate) when it has neither.
std::string BuildPredicate(const XmlNode& node);

enum NodePathOptions : int {
  kPathDisplayNames = 1,  // steps are display names, else element names
  kPathPredicates = 2,    // each step carries its predicate
  kIdentityPath = kPathPredicates,
  kDisplayPath = kPathDisplayNames,
};

// "/" and one step per element from the root element down to the node.
std::string BuildNodePath(const XmlNode& node, int options);

// Sets parent to the path before the last occurrence of suffix and returns true; false (parent
// untouched) when the suffix does not occur. UTF-8 text can only match at character starts.
bool FindParentPath(const std::string& path, const std::string& suffix, std::string& parent);

struct NodePaths {
  std::string identity;  // the identity path
  std::string parent;    // identity path of the parent element; "" for the root element
};
NodePaths GetNodePaths(const XmlNode& node);

// The first node the XPath query selects with context as context node; none when the query
// is refused or selects nothing. The query goes to the engine unchanged: XPath string literals
// have no escapes, so a name holding a backslash is matched by the same backslash.
XmlNode SelectNode(const XmlNode& context, const std::string& query);

// The node an identity path (or other query) selects; none without a context node or match.
// An identity path selects from the document root whatever node of the document is the
// context. Every evaluation of an identity path goes through here.
// Identity paths ("/" steps of element names with predicates of attribute equalities, as
// GetNodePaths builds them) are answered from the document's child index with the node XPath
// would give; any other query goes to the engine.
XmlNode SelectNodeByPath(const std::string& path, const XmlNode& context);

// Whether SelectNodeByPath answers the path from the child index.
bool IsIndexedPath(const std::string& path);

// The description of a component or counter: its `desc` attribute; else, with show_name, its
// `name` attribute; else the text of the first element of the description document (its root,
// none when no description document is loaded) that the lookup selects: a lookup beginning
// with "/" is the whole query, any other is "//" + lookup + the node's qualifier (for an
// object its class as [@class="..."], for other elements its predicate). "$quot;" becomes a
// double quotation mark. "" when nothing is found.
std::string GetDescription(const XmlNode& node, const XmlNode& description_root, bool show_name,
                           const std::string& lookup_name);

// value := the attribute's value, "" when the element has no such attribute; false (with
// error) only when the node is no element.
bool GetAttributeText(const XmlNode& element, const std::string& name, std::string& value,
                      std::string& error);

// Creates the attribute with the factory document and attaches it to the element, replacing
// one of the same name (the engine copies it into the element's own document). On failure
// error holds the reason: string 1030 when no attribute could be created.
bool CreateAttribute(const std::string& name, const std::string& value, const XmlNode& element,
                     XmlDocument& factory, std::string& error);

// Sets the value of an existing attribute, or creates it.
bool SetAttribute(const std::string& name, const std::string& value, const XmlNode& element,
                  XmlDocument& factory, std::string& error);

// Gives a counter its `id` (identity path), `OnlinePresentationName` (published display path)
// and `desc` (GetDescription with the counter's name as lookup).
bool AnnotateCounter(const XmlNode& counter, XmlDocument& factory,
                     const XmlNode& description_root, bool show_name, std::string& error);

// Annotates every counter below the metric list's root element (or its document node), in
// document order; stops at the first failure, leaving the counters before it annotated. No
// root: false with string 1008. A list without counters succeeds.
bool AnnotateCounters(const XmlNode& list_root, const XmlNode& description_root, bool show_name,
                      std::string& error);

// The `name` of the node the path selects below root; when that is missing or empty, the part
// of the path after its last "/" (the whole path without one).
std::string GetItemDisplayName(const XmlNode& root, const std::string& path);

}  // namespace feedprobe
