// The XML engine: DOM documents and nodes, XPath 1.0 selection and XSLT 1.0 transformation.
//
// Documents and nodes are counted handles. Copies of an XmlDocument share one document
// object (as references to one engine object do); a node keeps the tree it belongs to alive,
// so a node stays valid after its document was reloaded, transformed in place or released.
// A tree is freed with its last handle. Counting is thread-safe.
//
// Parsing is safe for untrusted input: nothing is fetched over the network, no external DTD or
// external entity is loaded (a reference to one stays an unresolved reference), and entity
// expansion is bounded. Internal entities are expanded. Whitespace-only text between elements
// is dropped on load, except below xml:space="preserve" and inside xsl:text. Parser and
// processor messages never reach the process's standard streams; each load keeps its own error.
//
// Texts are UTF-8. A document handle is used by one thread at a time; a document that is only
// read (a stylesheet after start-up) may be read by any number of threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::xml {

// Initialises the engine on first use (thread-safe); false when it cannot be used.
bool XmlEngineAvailable();

enum class XmlNodeType {
  kElement,
  kAttribute,
  kText,
  kCData,
  kComment,
  kProcessingInstruction,
  kDocument,
  kOther,  // document type, unresolved entity reference and the like
};

// The error of the last load of a document; code 0 when that load succeeded.
struct XmlParseError {
  int32_t code = 0;     // the parser's error number
  std::string reason;   // the parser's message, without a trailing line break
  int32_t line = 0;     // 1-based line of the error, 0 when unknown
};

// One attribute equality of a child path step: the element has an attribute of that name
// without namespace prefix whose value is exactly that text.
struct XmlAttributeTest {
  std::string_view name;
  std::string_view value;
};

// One step of a child path: the child elements without namespace of that name that pass
// every test.
struct XmlPathStep {
  std::string_view element;
  std::span<const XmlAttributeTest> tests;
};

class XmlDocument;
namespace detail {
struct XmlTree;  // one parsed tree with the nodes detached from it; defined by the engine
}

class XmlNode {
 public:
  XmlNode() = default;  // no node

  explicit operator bool() const { return node_ != nullptr; }
  // Same node of the same tree.
  bool operator==(const XmlNode& other) const { return node_ == other.node_; }

  XmlNodeType Type() const;
  // Element or attribute name with its prefix; "#document", "#text", "#cdata-section",
  // "#comment"; a processing instruction's target.
  std::string Name() const;
  // Concatenated text of the node and everything below it.
  std::string Text() const;
  // Value of an attribute, text, comment or processing instruction; "" for other nodes.
  std::string Value() const;
  // Replaces that value (taken literally, no markup); false for other nodes.
  bool SetValue(const std::string& value);

  // Parent node; none above the document node and for attributes.
  XmlNode Parent() const;
  XmlNode FirstChild() const;
  std::vector<XmlNode> ChildNodes() const;
  // Appends a node as the last child and returns it. A node of the same tree is moved; a node
  // of another tree is copied into this one and the copy is returned. None when the move is
  // impossible (an attribute, a document, an ancestor of this node, a second root element).
  XmlNode AppendChild(const XmlNode& child);

  // Serialised markup of the node; a document keeps its XML declaration, nothing else has one.
  std::string Xml() const;

  // Attributes of an element in document order (empty for other nodes).
  std::vector<XmlNode> Attributes() const;
  XmlNode GetAttributeNode(const std::string& name) const;
  // The attribute's value, or none when the element has no such attribute.
  std::optional<std::string> GetAttribute(const std::string& name) const;
  // Sets the value, creating the attribute at the end when it does not exist yet.
  bool SetAttribute(const std::string& name, const std::string& value);
  // Attaches an attribute node to this element and returns the attached node. An attribute
  // of the same name is replaced in its place. An attribute of another tree is copied into this
  // element's document first. None when this is no element, the node is no attribute, or the
  // attribute already belongs to an element.
  XmlNode SetAttributeNode(const XmlNode& attribute);
  // Detaches the named attribute and returns it, or none when there is none.
  XmlNode RemoveAttribute(const std::string& name);

  // All elements below this node with that name ("*": any name), in document order.
  std::vector<XmlNode> GetElementsByTagName(const std::string& name) const;

  // XPath 1.0 with this node as context; the query is used exactly as given (string literals
  // have no escapes). A query the engine refuses, or one that does not yield nodes, selects
  // nothing and puts the reason into *error; otherwise *error is emptied.
  XmlNode SelectSingleNode(const std::string& query, std::string* error = nullptr) const;
  std::vector<XmlNode> SelectNodes(const std::string& query, std::string* error = nullptr) const;

  // The node that SelectSingleNode gives for the absolute location path of these steps,
  // /a[@x="1" and @y="2"]/b..., from the document node of this node's tree: the first match in
  // document order, none without steps or match. It answers from indexes of the tree's child
  // elements (by parent and element name, and by parent, element name and the value of one
  // attribute), each built on first use and dropped by a change to the tree that can alter it.
  // Safe for concurrent readers of a document that is only read.
  XmlNode SelectChildPath(std::span<const XmlPathStep> steps) const;

  // A number that changes with every change made to this node's tree through a handle; no two
  // trees share one. 0 for no node.
  uint64_t TreeVersion() const;

 private:
  friend class XmlDocument;
  friend struct detail::XmlTree;
  XmlNode(std::shared_ptr<detail::XmlTree> tree, void* node)
      : tree_(std::move(tree)), node_(node) {}

  std::shared_ptr<detail::XmlTree> tree_;
  void* node_ = nullptr;
};

class XmlDocument {
 public:
  // A new, empty document.
  XmlDocument();

  // False only when the engine could not create the document.
  bool Created() const;
  // Same document object.
  bool operator==(const XmlDocument& other) const { return object_ == other.object_; }

  // Each load replaces the content and returns true, or leaves the document empty, keeps the
  // error in ParseError() and returns false.
  // Text held in memory; any encoding declaration inside it is ignored.
  bool LoadXml(const std::string& text);
  // Bytes as received; the encoding is detected from them.
  bool LoadBytes(std::string_view bytes);
  // A local file, by path or "file://" URL. Other URL schemes are refused.
  bool Load(const std::string& location);
  XmlParseError ParseError() const;

  XmlNode DocumentElement() const;
  // The document node ("#document").
  XmlNode AsNode() const;
  std::string Xml() const;

  // New, unattached nodes of this document.
  XmlNode CreateElement(const std::string& name);
  XmlNode CreateAttribute(const std::string& name);

  // Transforms this document with the XSLT 1.0 stylesheet (a stylesheet document or its root
  // element) into `output`, whose content is replaced by the result. The stylesheet is
  // compiled once for its document and shared by every thread transforming with it; a
  // stylesheet may read local files but may not write files, create folders or use the
  // network. On failure `output` is left empty and *error says why. A stylesheet that applies
  // to nothing succeeds with whatever it produced, possibly a document without root element.
  // The result has an XML declaration unless its xsl:output omits it or is not XML. For the
  // threading rules a transform counts as a change to this document (libxslt stamps document
  // order into it); it only reads the stylesheet.
  bool TransformNodeToObject(const XmlNode& stylesheet, XmlDocument& output,
                             std::string* error = nullptr);

 private:
  struct Object;
  std::shared_ptr<detail::XmlTree> CurrentTree() const;
  void Replace(std::shared_ptr<detail::XmlTree> tree, XmlParseError error);
  bool Parse(std::string_view bytes, const std::string& url, bool text_in_memory);

  std::shared_ptr<Object> object_;
};

}  // namespace platform::xml
