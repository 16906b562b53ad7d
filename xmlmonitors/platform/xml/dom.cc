#include "platform/xml/dom.h"

#include <libxml/entities.h>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/uri.h>
#include <libxml/valid.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>
#include <libxslt/extra.h>
#include <libxslt/imports.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unordered_set>

namespace platform::xml {
namespace {

const xmlChar* Chars(const std::string& text) {
  return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::string ToString(const xmlChar* text) {
  return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

// Takes over a string that libxml2 allocated.
std::string Take(xmlChar* text) {
  std::string result = ToString(text);
  xmlFree(text);
  return result;
}

std::string WithoutTrailingBreaks(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

// ---------------------------------------------------------------------------------------------
// Messages. libxml2 keeps its error handlers per thread: every engine call installs its own for
// the duration of the call and restores the previous ones. libxslt has one process-wide handler,
// installed once, that routes to the calling thread's log; outside an engine call of this copy
// of the plug-in it drops the message (it never hands it to a handler that might belong to a
// module that has since been unloaded). With two copies loaded, the later one's handler wins
// and the earlier one's compile messages are lost; its failures still report a general text.

constexpr size_t kMaxLogText = 4096;

struct ErrorLog {
  int code = 0;
  int line = 0;
  std::string reason;  // first error of the call
  std::string text;    // free-form messages (libxslt, generic libxml2 output)

  void AddError(int error_code, int error_line, const char* message) {
    if (code != 0) return;
    code = error_code != 0 ? error_code : XML_ERR_INTERNAL_ERROR;
    line = error_line;
    reason = WithoutTrailingBreaks(message ? message : "");
  }
  void AddText(const char* message) {
    if (text.size() < kMaxLogText) text.append(message, 0, kMaxLogText - text.size());
  }
  std::string Describe(const char* fallback) const {
    if (!reason.empty()) return reason;
    std::string free_text = WithoutTrailingBreaks(text);
    return free_text.empty() ? std::string(fallback) : free_text;
  }
};

thread_local ErrorLog* t_log = nullptr;

void OnStructuredError(void*, xmlErrorPtr error) {
  if (t_log == nullptr || error == nullptr || error->level < XML_ERR_ERROR) return;
  t_log->AddError(error->code, error->line, error->message);
}

void OnGenericMessage(void*, const char* format, ...) {
  if (t_log == nullptr || format == nullptr) return;
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  t_log->AddText(buffer);
}

// Process-wide set-up of libxml2 and libxslt, done once; undone when this module unloads.
class EngineGlobals {
 public:
  static EngineGlobals& Get() {
    static EngineGlobals globals;
    std::call_once(globals.once_, [] { globals.Init(); });
    return globals;
  }
  ~EngineGlobals() {
    if (prefs_ == nullptr) return;
    // Back to libxslt's own handler rather than the one found at start-up: that one may belong
    // to another copy of the plug-in that is unloaded by now.
    if (xsltGenericError == OnGenericMessage) xsltSetGenericErrorFunc(nullptr, nullptr);
    if (xsltGetDefaultSecurityPrefs() == prefs_) xsltSetDefaultSecurityPrefs(nullptr);
    xsltFreeSecurityPrefs(prefs_);
    prefs_ = nullptr;  // no transform runs after this
  }
  bool ready() const { return prefs_ != nullptr; }
  xsltSecurityPrefsPtr prefs() const { return prefs_; }

 private:
  void Init() {
    xmlInitParser();
    xsltInit();
    xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
    if (prefs == nullptr) return;
    for (xsltSecurityOption option : {XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
                                      XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK}) {
      xsltSetSecurityPrefs(prefs, option, xsltSecurityForbid);
    }
    // The default preferences also govern xsl:import and xsl:include while compiling.
    xsltSetDefaultSecurityPrefs(prefs);
    xsltSetGenericErrorFunc(nullptr, OnGenericMessage);
    // Stylesheets written for the platform's own engine convert result tree fragments with
    // msxsl:node-set; libxslt's node-set function does exactly that.
    xsltRegisterExtModuleFunction(reinterpret_cast<const xmlChar*>("node-set"),
                                  reinterpret_cast<const xmlChar*>(
                                      "urn:schemas-microsoft-com:xslt"),
                                  xsltFunctionNodeSet);
    prefs_ = prefs;
  }

  std::once_flag once_;
  xsltSecurityPrefsPtr prefs_ = nullptr;
};

// One call into the engine on this thread: messages go to `log`, never to a standard stream.
class EngineCall {
 public:
  explicit EngineCall(ErrorLog* log)
      : saved_log_(t_log),
        saved_structured_(xmlStructuredError),
        saved_structured_context_(xmlStructuredErrorContext),
        saved_generic_(xmlGenericError),
        saved_generic_context_(xmlGenericErrorContext) {
    EngineGlobals::Get();
    t_log = log;
    xmlSetStructuredErrorFunc(nullptr, OnStructuredError);
    xmlSetGenericErrorFunc(nullptr, OnGenericMessage);
  }
  ~EngineCall() {
    xmlSetStructuredErrorFunc(saved_structured_context_, saved_structured_);
    xmlSetGenericErrorFunc(saved_generic_context_, saved_generic_);
    t_log = saved_log_;
  }
  EngineCall(const EngineCall&) = delete;
  EngineCall& operator=(const EngineCall&) = delete;

 private:
  ErrorLog* saved_log_;
  xmlStructuredErrorFunc saved_structured_;
  void* saved_structured_context_;
  xmlGenericErrorFunc saved_generic_;
  void* saved_generic_context_;
};

struct DocFree {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
using DocOwner = std::unique_ptr<xmlDoc, DocFree>;

// ---------------------------------------------------------------------------------------------
// Tree walking.

bool IsElement(xmlNodePtr node) { return node != nullptr && node->type == XML_ELEMENT_NODE; }
bool IsDocument(xmlNodePtr node) {
  return node != nullptr &&
         (node->type == XML_DOCUMENT_NODE || node->type == XML_HTML_DOCUMENT_NODE);
}

// The node after `node` in document order below `top`; `descend` false skips its children.
// Only elements and the document are entered (entity references share their entity's nodes).
xmlNodePtr NextBelow(xmlNodePtr node, xmlNodePtr top, bool descend) {
  if (descend && (IsElement(node) || IsDocument(node)) && node->children != nullptr) {
    return node->children;
  }
  while (node != nullptr && node != top) {
    if (node->next != nullptr) return node->next;
    node = node->parent;
  }
  return nullptr;
}

std::string QualifiedName(xmlNodePtr node) {
  std::string name = ToString(node->name);
  if (node->ns != nullptr && node->ns->prefix != nullptr) {
    return ToString(node->ns->prefix) + ":" + name;
  }
  return name;
}

bool IsBlank(const xmlChar* text) {
  if (text == nullptr) return true;
  for (; *text != 0; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') return false;
  }
  return true;
}

bool IsXslText(xmlNodePtr node) {
  return IsElement(node) && xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>("text")) &&
         node->ns != nullptr && xmlStrEqual(node->ns->href, XSLT_NAMESPACE);
}

// Drops whitespace-only text nodes, as a parser that does not preserve white space does.
// Only used on a tree that no handle can reach yet.
void StripBlankText(xmlDocPtr doc) {
  xmlNodePtr top = reinterpret_cast<xmlNodePtr>(doc);
  xmlNodePtr node = NextBelow(top, top, true);
  while (node != nullptr) {
    if (node->type == XML_TEXT_NODE && IsBlank(node->content) && IsElement(node->parent) &&
        !IsXslText(node->parent) && xmlNodeGetSpacePreserve(node->parent) != 1) {
      xmlNodePtr next = NextBelow(node, top, false);
      xmlUnlinkNode(node);
      xmlFreeNode(node);
      node = next;
      continue;
    }
    node = NextBelow(node, top, true);
  }
}

// ---------------------------------------------------------------------------------------------
// Parsing.

// libxml2 never loads an external resource with these options: no network, no external DTD,
// no external entity (they load only with XML_PARSE_NOENT or DTD loading/validation).
// XML_PARSE_HUGE stays off, so the parser's limits on entity amplification, depth and text
// size apply.
constexpr int kSafeOptions = XML_PARSE_NONET | XML_PARSE_BIG_LINES;

struct EntityScan {
  bool any = false;
  bool external = false;
};

void ScanEntity(void* payload, void* data, const xmlChar*) {
  auto* scan = static_cast<EntityScan*>(data);
  auto* entity = static_cast<xmlEntityPtr>(payload);
  scan->any = true;
  if (entity->etype != XML_INTERNAL_GENERAL_ENTITY &&
      entity->etype != XML_INTERNAL_PARAMETER_ENTITY &&
      entity->etype != XML_INTERNAL_PREDEFINED_ENTITY) {
    scan->external = true;
  }
}

EntityScan ScanEntities(xmlDocPtr doc) {
  EntityScan scan;
  if (doc->intSubset != nullptr) {
    if (doc->intSubset->entities != nullptr) {
      xmlHashScan(static_cast<xmlHashTablePtr>(doc->intSubset->entities), ScanEntity, &scan);
    }
    if (doc->intSubset->pentities != nullptr) {
      xmlHashScan(static_cast<xmlHashTablePtr>(doc->intSubset->pentities), ScanEntity, &scan);
    }
  }
  return scan;
}

xmlDocPtr ParseOnce(std::string_view bytes, const char* url, const char* encoding, int options,
                    ErrorLog& log) {
  std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> context(xmlNewParserCtxt(),
                                                                       xmlFreeParserCtxt);
  if (!context) {
    log.AddError(XML_ERR_NO_MEMORY, 0, "out of memory");
    return nullptr;
  }
  xmlDocPtr doc = xmlCtxtReadMemory(context.get(), bytes.data(), static_cast<int>(bytes.size()),
                                    url, encoding, options);
  if (doc != nullptr && !context->wellFormed) {
    xmlFreeDoc(doc);
    doc = nullptr;
  }
  if (doc == nullptr) {
    log.AddError(context->errNo, 0, "the document could not be parsed");
  }
  return doc;
}

// Parses untrusted bytes. Internal entities are expanded by a second parse, and only when the
// document declares no external entity, so that expansion can never load anything.
DocOwner ParseSafely(std::string_view bytes, const std::string& url, bool text_in_memory,
                     ErrorLog& log) {
  if (bytes.size() > static_cast<size_t>(INT_MAX)) {
    log.AddError(XML_ERR_NO_MEMORY, 0, "the document is too large");
    return nullptr;
  }
  const char* base = url.empty() ? nullptr : url.c_str();
  const char* encoding = text_in_memory ? "UTF-8" : nullptr;
  int options = kSafeOptions | (text_in_memory ? XML_PARSE_IGNORE_ENC : 0);
  DocOwner doc(ParseOnce(bytes, base, encoding, options, log));
  if (!doc) return nullptr;
  EntityScan scan = ScanEntities(doc.get());
  if (scan.any && !scan.external) {
    doc.reset(ParseOnce(bytes, base, encoding, options | XML_PARSE_NOENT, log));
    if (!doc) return nullptr;
  }
  StripBlankText(doc.get());
  return doc;
}

// ---------------------------------------------------------------------------------------------
// Serialisation.

std::string Serialize(xmlNodePtr node) {
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), xmlBufferFree);
  if (!buffer) return std::string();
  xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_AS_XML);
  if (save == nullptr) return std::string();
  std::string declaration;
  if (IsDocument(node)) {
    auto* doc = reinterpret_cast<xmlDocPtr>(node);
    xmlSaveDoc(save, doc);
    // libxml2 notes whether the text had a declaration: standalone is -1 when it had none.
    if (doc->standalone != -1) {
      declaration = "<?xml version=\"" + (doc->version ? ToString(doc->version) : "1.0") + "\"";
      if (doc->standalone == 1) declaration += " standalone=\"yes\"";
      if (doc->standalone == 0) declaration += " standalone=\"no\"";
      declaration += "?>\n";
    }
  } else {
    xmlSaveTree(save, node);
  }
  xmlSaveClose(save);
  std::string markup(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<size_t>(xmlBufferLength(buffer.get())));
  if (node->type == XML_ATTRIBUTE_NODE && !markup.empty() && markup[0] == ' ') markup.erase(0, 1);
  return declaration + markup;
}

// ---------------------------------------------------------------------------------------------
// XPath.

std::vector<xmlNodePtr> Evaluate(xmlDocPtr doc, xmlNodePtr context_node, const std::string& query,
                                 size_t limit, std::string* error) {
  ErrorLog log;
  EngineCall call(&log);
  std::vector<xmlNodePtr> found;
  auto refuse = [&](const char* fallback) {
    if (error != nullptr) *error = log.Describe(fallback);
    return std::vector<xmlNodePtr>();
  };
  std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(
      xmlXPathNewContext(doc), xmlXPathFreeContext);
  if (!context) return refuse("out of memory");
  context->node = context_node;
  std::unique_ptr<xmlXPathCompExpr, decltype(&xmlXPathFreeCompExpr)> compiled(
      xmlXPathCtxtCompile(context.get(), Chars(query)), xmlXPathFreeCompExpr);
  if (!compiled) return refuse("the query is not valid XPath");
  std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
      xmlXPathCompiledEval(compiled.get(), context.get()), xmlXPathFreeObject);
  if (!result) return refuse("the query could not be evaluated");
  if (result->type != XPATH_NODESET) return refuse("the query does not select nodes");
  if (error != nullptr) error->clear();
  xmlNodeSetPtr nodes = result->nodesetval;
  if (nodes == nullptr) return found;
  xmlXPathNodeSetSort(nodes);
  for (int i = 0; i < nodes->nodeNr && found.size() < limit; ++i) {
    // Namespace nodes are copies owned by the result; they cannot outlive it.
    if (nodes->nodeTab[i]->type != XML_NAMESPACE_DECL) found.push_back(nodes->nodeTab[i]);
  }
  return found;
}

// ---------------------------------------------------------------------------------------------
// Stylesheets.

struct CompiledStylesheet {
  CompiledStylesheet() = default;
  CompiledStylesheet(const CompiledStylesheet&) = delete;
  CompiledStylesheet& operator=(const CompiledStylesheet&) = delete;
  ~CompiledStylesheet() {
    if (style != nullptr) xsltFreeStylesheet(style);
  }
  xsltStylesheetPtr style = nullptr;  // owns the copy of the stylesheet document
  std::string error;                  // why it did not compile
};

bool NeedsSpaceStripping(xsltStylesheetPtr style) {
  for (xsltStylesheetPtr current = style; current != nullptr; current = xsltNextImport(current)) {
    if (current->stripSpaces != nullptr || current->stripAll != 0) return true;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

namespace detail {

namespace {

// Tree versions are unique in the process, so that a version names one tree in one state.
uint64_t NextTreeVersion() {
  static std::atomic<uint64_t> counter{0};
  return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

bool NameIs(const xmlChar* name, std::string_view text) {
  if (name == nullptr) return false;
  size_t length = std::strlen(reinterpret_cast<const char*>(name));
  return std::string_view(reinterpret_cast<const char*>(name), length) == text;
}

// What an unprefixed XPath name test accepts of an attribute: one without prefix. (Of an
// element: one without namespace; the indexes hold no other.)
bool AttributeNamed(xmlAttrPtr attribute, std::string_view name) {
  return (attribute->ns == nullptr || attribute->ns->prefix == nullptr) &&
         NameIs(attribute->name, name);
}

// An attribute's string value as XPath compares it; one text child is read in place, any
// other content is put together in *owned.
std::string_view AttributeText(xmlAttrPtr attribute, std::string* owned) {
  xmlNodePtr first = attribute->children;
  if (first == nullptr) return std::string_view();
  if (first->next == nullptr && first->type == XML_TEXT_NODE) {
    const char* text = reinterpret_cast<const char*>(first->content);
    return text != nullptr ? std::string_view(text) : std::string_view();
  }
  *owned = Take(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attribute)));
  return *owned;
}

bool PassesTest(xmlNodePtr element, const XmlAttributeTest& test) {
  for (xmlAttrPtr attribute = element->properties; attribute != nullptr;
       attribute = attribute->next) {
    if (!AttributeNamed(attribute, test.name)) continue;
    std::string owned;
    if (AttributeText(attribute, &owned) == test.value) return true;
  }
  return false;
}

}  // namespace

// The child elements of every parent in a tree, in document order, by parent and element name
// and, for an attribute index, the value of that attribute. Immutable once built.
struct ChildIndex {
  struct Entry {
    size_t hash;
    xmlNodePtr parent;
    std::string_view element;
    std::string_view value;
    xmlNodePtr node;
    uint32_t next;  // the next entry with the same key, kNone at the end
  };
  static constexpr uint32_t kNone = UINT32_MAX;

  ChildIndex(xmlDocPtr doc, bool by_attribute, std::string_view attribute_name)
      : by_attribute(by_attribute), attribute(attribute_name) {
    xmlNodePtr top = reinterpret_cast<xmlNodePtr>(doc);
    // One allocation for the entries: large blocks are fresh pages every time.
    size_t elements = 0;
    for (xmlNodePtr node = NextBelow(top, top, true); node != nullptr;
         node = NextBelow(node, top, true)) {
      if (node->type == XML_ELEMENT_NODE) ++elements;
    }
    entries.reserve(elements);
    for (xmlNodePtr node = NextBelow(top, top, true); node != nullptr;
         node = NextBelow(node, top, true)) {
      if (node->type != XML_ELEMENT_NODE || node->ns != nullptr) continue;
      std::string_view element(reinterpret_cast<const char*>(node->name));
      if (!by_attribute) {
        Add(node->parent, element, std::string_view(), node);
        continue;
      }
      for (xmlAttrPtr item = node->properties; item != nullptr; item = item->next) {
        if (!AttributeNamed(item, attribute)) continue;
        std::string owned;
        std::string_view value = AttributeText(item, &owned);
        if (value.data() == owned.data() && !owned.empty()) {
          owned_values.push_back(std::move(owned));
          value = owned_values.back();
        }
        Add(node->parent, element, value, node);
        break;  // an element has one such attribute
      }
    }
    Link();
  }

  static size_t Hash(xmlNodePtr parent, std::string_view element, std::string_view value) {
    size_t hash = std::hash<const void*>()(parent);
    hash ^= std::hash<std::string_view>()(element) + 0x9e3779b97f4a7c15ULL + (hash << 6) +
            (hash >> 2);
    hash ^= std::hash<std::string_view>()(value) + 0x9e3779b97f4a7c15ULL + (hash << 6) +
            (hash >> 2);
    return hash;
  }

  void Add(xmlNodePtr parent, std::string_view element, std::string_view value, xmlNodePtr node) {
    entries.push_back(Entry{Hash(parent, element, value), parent, element, value, node, kNone});
  }

  // Open addressing over the first entry of each key; later entries of a key are chained
  // behind it in document order.
  void Link() {
    size_t size = 16;
    while (size < entries.size() * 2) size *= 2;
    slots.assign(size, kNone);
    std::vector<uint32_t> last(entries.size(), kNone);  // the last entry of each key
    for (uint32_t i = 0; i < entries.size(); ++i) {
      const Entry& entry = entries[i];
      for (size_t slot = entry.hash & (size - 1);; slot = (slot + 1) & (size - 1)) {
        uint32_t first = slots[slot];
        if (first == kNone) {
          slots[slot] = i;
          last[i] = i;
          break;
        }
        if (SameKey(entries[first], entry.hash, entry.parent, entry.element, entry.value)) {
          entries[last[first]].next = i;
          last[first] = i;
          break;
        }
      }
    }
  }

  static bool SameKey(const Entry& entry, size_t hash, xmlNodePtr parent,
                      std::string_view element, std::string_view value) {
    return entry.hash == hash && entry.parent == parent && entry.element == element &&
           entry.value == value;
  }

  uint32_t Find(xmlNodePtr parent, std::string_view element, std::string_view value) const {
    size_t hash = Hash(parent, element, value);
    size_t mask = slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      uint32_t first = slots[slot];
      if (first == kNone) return kNone;
      if (SameKey(entries[first], hash, parent, element, value)) return first;
    }
  }

  bool by_attribute;
  std::string attribute;
  std::vector<Entry> entries;
  std::vector<uint32_t> slots;
  std::deque<std::string> owned_values;  // values that are not one text node
  ChildIndex* next_index = nullptr;
};

struct XmlTree {
  explicit XmlTree(xmlDocPtr tree_doc) : doc(tree_doc) {}
  ~XmlTree() {
    DropIndexes(true, nullptr);
    // Detached nodes use the document's dictionary, so they go first.
    for (xmlNodePtr node : detached) {
      if (node->type == XML_ATTRIBUTE_NODE) {
        xmlFreeProp(reinterpret_cast<xmlAttrPtr>(node));
      } else {
        xmlFreeNode(node);
      }
    }
    xmlFreeDoc(doc);
  }
  XmlTree(const XmlTree&) = delete;
  XmlTree& operator=(const XmlTree&) = delete;

  static std::shared_ptr<XmlTree> Adopt(xmlDocPtr tree_doc) {
    if (tree_doc == nullptr) return nullptr;
    return std::make_shared<XmlTree>(tree_doc);
  }
  static std::shared_ptr<XmlTree> Empty() {
    EngineGlobals::Get();
    return Adopt(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
  }
  static XmlNode Wrap(const std::shared_ptr<XmlTree>& tree, xmlNodePtr node) {
    if (node == nullptr) return XmlNode();
    return XmlNode(tree, node);
  }
  static xmlNodePtr NodeOf(const XmlNode& node) { return static_cast<xmlNodePtr>(node.node_); }
  static const std::shared_ptr<XmlTree>& TreeOf(const XmlNode& node) { return node.tree_; }

  // Nodes taken out of the tree stay owned by it until it is freed, so that no handle to them
  // can dangle.
  void Detach(xmlNodePtr node) {
    if (node->type == XML_ATTRIBUTE_NODE) {
      auto* attribute = reinterpret_cast<xmlAttrPtr>(node);
      if (attribute->atype == XML_ATTRIBUTE_ID) xmlRemoveID(doc, attribute);
    }
    xmlUnlinkNode(node);
    detached.insert(node);
  }

  // Every change made through a handle: elements_moved when elements were added, moved or
  // removed; attribute, the local name of an attribute that was created, removed or changed.
  // Changes are made by the one thread using the tree, so indexes can go without a lock.
  void Changed(bool elements_moved, const xmlChar* attribute = nullptr) {
    version.store(NextTreeVersion(), std::memory_order_relaxed);
    DropIndexes(elements_moved, attribute);
    // libxslt stamps document order into the elements of a transformed document; restamp so
    // that XPath keeps sorting moved elements correctly.
    if (elements_moved && ordered.load()) xmlXPathOrderDocElems(doc);
  }

  std::shared_ptr<const CompiledStylesheet> Compile(xmlNodePtr node);

  void DropIndexes(bool all, const xmlChar* attribute) {
    if (!all && attribute == nullptr) return;
    ChildIndex* kept = nullptr;
    ChildIndex* index = indexes.exchange(nullptr, std::memory_order_acq_rel);
    while (index != nullptr) {
      ChildIndex* next = index->next_index;
      if (all || (index->by_attribute && NameIs(attribute, index->attribute))) {
        delete index;
      } else {
        index->next_index = kept;
        kept = index;
      }
      index = next;
    }
    indexes.store(kept, std::memory_order_release);
  }

  // The index by element name (by_attribute false) or by that attribute. Readers of a
  // document that is only read may race to build one: the first to publish it wins.
  const ChildIndex& Index(bool by_attribute, std::string_view attribute) {
    auto matches = [&](const ChildIndex* index) {
      return index->by_attribute == by_attribute &&
             (!by_attribute || index->attribute == attribute);
    };
    ChildIndex* head = indexes.load(std::memory_order_acquire);
    for (ChildIndex* index = head; index != nullptr; index = index->next_index) {
      if (matches(index)) return *index;
    }
    auto built = std::make_unique<ChildIndex>(doc, by_attribute, attribute);
    for (;;) {
      built->next_index = head;
      if (indexes.compare_exchange_weak(head, built.get(), std::memory_order_acq_rel,
                                        std::memory_order_acquire)) {
        return *built.release();
      }
      for (ChildIndex* index = head; index != nullptr; index = index->next_index) {
        if (matches(index)) return *index;
      }
    }
  }

  xmlNodePtr Match(std::span<const XmlPathStep> steps, size_t at, xmlNodePtr parent);

  xmlDocPtr doc;
  std::unordered_set<xmlNodePtr> detached;
  std::atomic<uint64_t> version{NextTreeVersion()};  // renewed by every change through a handle
  std::atomic<ChildIndex*> indexes{nullptr};
  std::atomic<bool> ordered{false};  // libxslt has stamped document order into the elements

  std::mutex stylesheet_mutex;
  xmlNodePtr compiled_node = nullptr;
  uint64_t compiled_version = 0;
  std::shared_ptr<const CompiledStylesheet> compiled;
};

std::shared_ptr<const CompiledStylesheet> XmlTree::Compile(xmlNodePtr node) {
  std::lock_guard<std::mutex> lock(stylesheet_mutex);
  uint64_t current = version.load(std::memory_order_relaxed);
  if (compiled && compiled_node == node && compiled_version == current) return compiled;

  auto result = std::make_shared<CompiledStylesheet>();
  ErrorLog log;
  EngineCall call(&log);
  // libxslt takes over and changes the document it compiles: it gets a copy.
  xmlDocPtr copy = nullptr;
  xmlNodePtr root = xmlDocGetRootElement(doc);
  if (IsDocument(node) || node == root) {
    copy = xmlCopyDoc(doc, 1);
  } else if (IsElement(node)) {
    copy = xmlNewDoc(doc->version);
    if (copy != nullptr) {
      xmlDocSetRootElement(copy, xmlDocCopyNode(node, copy, 1));
      if (doc->URL != nullptr) copy->URL = xmlStrdup(doc->URL);
    }
  }
  if (copy == nullptr || xmlDocGetRootElement(copy) == nullptr) {
    if (copy != nullptr) xmlFreeDoc(copy);
    result->error = "the stylesheet is empty";
  } else {
    result->style = xsltParseStylesheetDoc(copy);
    if (result->style == nullptr) {
      xmlFreeDoc(copy);  // a failed compile leaves the document to the caller
      result->error = log.Describe("the stylesheet could not be compiled");
    } else if (result->style->errors != 0) {
      xsltFreeStylesheet(result->style);
      result->style = nullptr;
      result->error = log.Describe("the stylesheet could not be compiled");
    }
  }
  compiled = result;
  compiled_node = node;
  compiled_version = current;
  return compiled;
}

// Depth first in document order: the children of an earlier parent come before those of a
// later one, so the first complete match is the first node of the XPath result.
xmlNodePtr XmlTree::Match(std::span<const XmlPathStep> steps, size_t at, xmlNodePtr parent) {
  const XmlPathStep& step = steps[at];
  bool by_attribute = !step.tests.empty();
  if (!by_attribute && IsDocument(parent)) {
    // The document has one element: no index for that.
    for (xmlNodePtr node = parent->children; node != nullptr; node = node->next) {
      if (node->type != XML_ELEMENT_NODE || node->ns != nullptr || !NameIs(node->name, step.element))
        continue;
      if (at + 1 == steps.size()) return node;
      if (xmlNodePtr found = Match(steps, at + 1, node)) return found;
    }
    return nullptr;
  }
  const ChildIndex& index =
      Index(by_attribute, by_attribute ? step.tests.front().name : std::string_view());
  std::string_view value = by_attribute ? step.tests.front().value : std::string_view();
  for (uint32_t i = index.Find(parent, step.element, value); i != ChildIndex::kNone;
       i = index.entries[i].next) {
    xmlNodePtr node = index.entries[i].node;
    bool passes = true;
    for (size_t t = 1; t < step.tests.size() && passes; ++t) {
      passes = PassesTest(node, step.tests[t]);
    }
    if (!passes) continue;
    if (at + 1 == steps.size()) return node;
    if (xmlNodePtr found = Match(steps, at + 1, node)) return found;
  }
  return nullptr;
}

}  // namespace detail

using detail::XmlTree;

namespace {

void LinkChild(xmlNodePtr parent, xmlNodePtr child) {
  child->parent = parent;
  child->next = nullptr;
  child->prev = parent->last;
  if (parent->last != nullptr) {
    parent->last->next = child;
  } else {
    parent->children = child;
  }
  parent->last = child;
}

// QualifiedName(node) == name, without building the name (attribute look-ups are hot).
bool HasQualifiedName(xmlNodePtr node, const std::string& name) {
  std::string_view local = node->name ? reinterpret_cast<const char*>(node->name) : "";
  if (node->ns == nullptr || node->ns->prefix == nullptr) return name == local;
  std::string_view prefix = reinterpret_cast<const char*>(node->ns->prefix);
  return name.size() == prefix.size() + 1 + local.size() && name.starts_with(prefix) &&
         name[prefix.size()] == ':' && name.ends_with(local);
}

xmlAttrPtr FindAttribute(xmlNodePtr element, const std::string& name) {
  if (!IsElement(element)) return nullptr;
  for (xmlAttrPtr attribute = element->properties; attribute != nullptr;
       attribute = attribute->next) {
    if (HasQualifiedName(reinterpret_cast<xmlNodePtr>(attribute), name)) return attribute;
  }
  return nullptr;
}

void AppendAttribute(xmlNodePtr element, xmlAttrPtr attribute) {
  attribute->parent = element;
  attribute->next = nullptr;
  attribute->prev = nullptr;
  if (element->properties == nullptr) {
    element->properties = attribute;
    return;
  }
  xmlAttrPtr last = element->properties;
  while (last->next != nullptr) last = last->next;
  last->next = attribute;
  attribute->prev = last;
}

void ReplaceAttribute(XmlTree& tree, xmlAttrPtr old_attribute, xmlAttrPtr attribute) {
  xmlNodePtr element = old_attribute->parent;
  attribute->parent = element;
  attribute->prev = old_attribute->prev;
  attribute->next = old_attribute->next;
  if (old_attribute->prev != nullptr) {
    old_attribute->prev->next = attribute;
  } else {
    element->properties = attribute;
  }
  if (old_attribute->next != nullptr) old_attribute->next->prev = attribute;
  old_attribute->parent = nullptr;
  old_attribute->prev = nullptr;
  old_attribute->next = nullptr;
  if (old_attribute->atype == XML_ATTRIBUTE_ID) xmlRemoveID(tree.doc, old_attribute);
  tree.detached.insert(reinterpret_cast<xmlNodePtr>(old_attribute));
}

// An attribute's value as one literal text child.
void SetAttributeText(XmlTree& tree, xmlAttrPtr attribute, const std::string& value) {
  xmlNodePtr first = attribute->children;
  if (first != nullptr && first->type == XML_TEXT_NODE && first->next == nullptr) {
    xmlNodeSetContent(first, Chars(value));  // literal for a text node
    return;
  }
  while (attribute->children != nullptr) tree.Detach(attribute->children);
  xmlNodePtr text = xmlNewDocText(tree.doc, Chars(value));
  if (text != nullptr) LinkChild(reinterpret_cast<xmlNodePtr>(attribute), text);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// XmlNode

bool XmlEngineAvailable() { return EngineGlobals::Get().ready(); }

XmlNodeType XmlNode::Type() const {
  auto* node = static_cast<xmlNodePtr>(node_);
  if (node == nullptr) return XmlNodeType::kOther;
  switch (node->type) {
    case XML_ELEMENT_NODE: return XmlNodeType::kElement;
    case XML_ATTRIBUTE_NODE: return XmlNodeType::kAttribute;
    case XML_TEXT_NODE: return XmlNodeType::kText;
    case XML_CDATA_SECTION_NODE: return XmlNodeType::kCData;
    case XML_COMMENT_NODE: return XmlNodeType::kComment;
    case XML_PI_NODE: return XmlNodeType::kProcessingInstruction;
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE: return XmlNodeType::kDocument;
    default: return XmlNodeType::kOther;
  }
}

std::string XmlNode::Name() const {
  auto* node = static_cast<xmlNodePtr>(node_);
  if (node == nullptr) return std::string();
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE: return QualifiedName(node);
    case XML_TEXT_NODE: return "#text";
    case XML_CDATA_SECTION_NODE: return "#cdata-section";
    case XML_COMMENT_NODE: return "#comment";
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE: return "#document";
    default: return ToString(node->name);
  }
}

std::string XmlNode::Text() const {
  if (node_ == nullptr) return std::string();
  EngineCall call(nullptr);
  return Take(xmlNodeGetContent(static_cast<xmlNodePtr>(node_)));
}

std::string XmlNode::Value() const {
  auto* node = static_cast<xmlNodePtr>(node_);
  if (node == nullptr) return std::string();
  switch (node->type) {
    case XML_ATTRIBUTE_NODE: {
      // Mostly one text child, read in place.
      xmlNodePtr first = node->children;
      if (first == nullptr) return std::string();
      if (first->next == nullptr && first->type == XML_TEXT_NODE) return ToString(first->content);
      return Text();
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE: return Text();
    default: return std::string();
  }
}

bool XmlNode::SetValue(const std::string& value) {
  auto* node = static_cast<xmlNodePtr>(node_);
  if (node == nullptr) return false;
  EngineCall call(nullptr);
  switch (node->type) {
    case XML_ATTRIBUTE_NODE:
      SetAttributeText(*tree_, reinterpret_cast<xmlAttrPtr>(node), value);
      break;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE: xmlNodeSetContent(node, Chars(value)); break;
    default: return false;
  }
  // A text below an attribute is part of the attribute's value.
  xmlNodePtr owner = node->type == XML_ATTRIBUTE_NODE ? node : node->parent;
  tree_->Changed(false, owner != nullptr && owner->type == XML_ATTRIBUTE_NODE ? owner->name
                                                                              : nullptr);
  return true;
}

XmlNode XmlNode::Parent() const {
  auto* node = static_cast<xmlNodePtr>(node_);
  if (node == nullptr || node->type == XML_ATTRIBUTE_NODE) return XmlNode();
  return XmlTree::Wrap(tree_, node->parent);
}

XmlNode XmlNode::FirstChild() const {
  auto* node = static_cast<xmlNodePtr>(node_);
  if (node == nullptr || node->type == XML_ENTITY_REF_NODE) return XmlNode();
  return XmlTree::Wrap(tree_, node->children);
}

std::vector<XmlNode> XmlNode::ChildNodes() const {
  std::vector<XmlNode> children;
  for (XmlNode child = FirstChild(); child;
       child = XmlTree::Wrap(tree_, static_cast<xmlNodePtr>(child.node_)->next)) {
    children.push_back(child);
  }
  return children;
}

XmlNode XmlNode::AppendChild(const XmlNode& child) {
  auto* parent = static_cast<xmlNodePtr>(node_);
  auto* node = static_cast<xmlNodePtr>(child.node_);
  if (parent == nullptr || node == nullptr || !(IsElement(parent) || IsDocument(parent))) {
    return XmlNode();
  }
  switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE: break;
    default: return XmlNode();
  }
  if (IsDocument(parent)) {
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) return XmlNode();
    xmlNodePtr root = xmlDocGetRootElement(tree_->doc);
    if (IsElement(node) && root != nullptr && root != node) return XmlNode();
  }
  EngineCall call(nullptr);
  if (child.tree_ != tree_) {
    node = xmlDocCopyNode(node, tree_->doc, 1);
    if (node == nullptr) return XmlNode();
  } else {
    for (xmlNodePtr ancestor = parent; ancestor != nullptr; ancestor = ancestor->parent) {
      if (ancestor == node) return XmlNode();
    }
    if (tree_->detached.erase(node) == 0) xmlUnlinkNode(node);
  }
  LinkChild(parent, node);
  tree_->Changed(true);
  return XmlTree::Wrap(tree_, node);
}

std::string XmlNode::Xml() const {
  if (node_ == nullptr) return std::string();
  EngineCall call(nullptr);
  return Serialize(static_cast<xmlNodePtr>(node_));
}

std::vector<XmlNode> XmlNode::Attributes() const {
  std::vector<XmlNode> attributes;
  auto* node = static_cast<xmlNodePtr>(node_);
  if (!IsElement(node)) return attributes;
  for (xmlAttrPtr attribute = node->properties; attribute != nullptr;
       attribute = attribute->next) {
    attributes.push_back(XmlTree::Wrap(tree_, reinterpret_cast<xmlNodePtr>(attribute)));
  }
  return attributes;
}

XmlNode XmlNode::GetAttributeNode(const std::string& name) const {
  return XmlTree::Wrap(tree_, reinterpret_cast<xmlNodePtr>(
                                  FindAttribute(static_cast<xmlNodePtr>(node_), name)));
}

std::optional<std::string> XmlNode::GetAttribute(const std::string& name) const {
  XmlNode attribute = GetAttributeNode(name);
  if (!attribute) return std::nullopt;
  return attribute.Value();
}

bool XmlNode::SetAttribute(const std::string& name, const std::string& value) {
  auto* element = static_cast<xmlNodePtr>(node_);
  if (!IsElement(element)) return false;
  EngineCall call(nullptr);
  xmlAttrPtr attribute = FindAttribute(element, name);
  if (attribute == nullptr) {
    if (xmlValidateName(Chars(name), 0) != 0) return false;
    attribute = xmlNewDocProp(tree_->doc, Chars(name), nullptr);
    if (attribute == nullptr) return false;
    AppendAttribute(element, attribute);
  }
  SetAttributeText(*tree_, attribute, value);
  tree_->Changed(false, attribute->name);
  return true;
}

XmlNode XmlNode::SetAttributeNode(const XmlNode& attribute_node) {
  auto* element = static_cast<xmlNodePtr>(node_);
  auto* node = static_cast<xmlNodePtr>(attribute_node.node_);
  if (!IsElement(element) || node == nullptr || node->type != XML_ATTRIBUTE_NODE) {
    return XmlNode();
  }
  EngineCall call(nullptr);
  auto* attribute = reinterpret_cast<xmlAttrPtr>(node);
  if (attribute_node.tree_ != tree_) {
    attribute = xmlCopyProp(element, attribute);
    if (attribute == nullptr) return XmlNode();
  } else if (attribute->parent != nullptr) {
    if (attribute->parent == element) return attribute_node;
    return XmlNode();  // it belongs to another element
  } else {
    tree_->detached.erase(node);
  }
  xmlAttrPtr existing =
      FindAttribute(element, QualifiedName(reinterpret_cast<xmlNodePtr>(attribute)));
  if (existing != nullptr) {
    ReplaceAttribute(*tree_, existing, attribute);
  } else {
    AppendAttribute(element, attribute);
  }
  tree_->Changed(false, attribute->name);
  return XmlTree::Wrap(tree_, reinterpret_cast<xmlNodePtr>(attribute));
}

XmlNode XmlNode::RemoveAttribute(const std::string& name) {
  xmlAttrPtr attribute = FindAttribute(static_cast<xmlNodePtr>(node_), name);
  if (attribute == nullptr) return XmlNode();
  tree_->Detach(reinterpret_cast<xmlNodePtr>(attribute));
  tree_->Changed(false, attribute->name);
  return XmlTree::Wrap(tree_, reinterpret_cast<xmlNodePtr>(attribute));
}

std::vector<XmlNode> XmlNode::GetElementsByTagName(const std::string& name) const {
  std::vector<XmlNode> elements;
  auto* top = static_cast<xmlNodePtr>(node_);
  if (!(IsElement(top) || IsDocument(top))) return elements;
  bool any = name == "*";
  for (xmlNodePtr node = NextBelow(top, top, true); node != nullptr;
       node = NextBelow(node, top, true)) {
    if (IsElement(node) && (any || QualifiedName(node) == name)) {
      elements.push_back(XmlTree::Wrap(tree_, node));
    }
  }
  return elements;
}

XmlNode XmlNode::SelectSingleNode(const std::string& query, std::string* error) const {
  if (node_ == nullptr) {
    if (error != nullptr) *error = "no context node";
    return XmlNode();
  }
  std::vector<xmlNodePtr> found =
      Evaluate(tree_->doc, static_cast<xmlNodePtr>(node_), query, 1, error);
  return found.empty() ? XmlNode() : XmlTree::Wrap(tree_, found.front());
}

std::vector<XmlNode> XmlNode::SelectNodes(const std::string& query, std::string* error) const {
  std::vector<XmlNode> nodes;
  if (node_ == nullptr) {
    if (error != nullptr) *error = "no context node";
    return nodes;
  }
  for (xmlNodePtr node : Evaluate(tree_->doc, static_cast<xmlNodePtr>(node_), query, SIZE_MAX,
                                  error)) {
    nodes.push_back(XmlTree::Wrap(tree_, node));
  }
  return nodes;
}

XmlNode XmlNode::SelectChildPath(std::span<const XmlPathStep> steps) const {
  if (node_ == nullptr || steps.empty()) return XmlNode();
  xmlNodePtr found = tree_->Match(steps, 0, reinterpret_cast<xmlNodePtr>(tree_->doc));
  return XmlTree::Wrap(tree_, found);
}

uint64_t XmlNode::TreeVersion() const {
  return tree_ ? tree_->version.load(std::memory_order_relaxed) : 0;
}

// ---------------------------------------------------------------------------------------------
// XmlDocument

struct XmlDocument::Object {
  mutable std::mutex mutex;
  std::shared_ptr<XmlTree> tree;
  XmlParseError error;
};

XmlDocument::XmlDocument() : object_(std::make_shared<Object>()) {
  object_->tree = XmlTree::Empty();
}

bool XmlDocument::Created() const { return CurrentTree() != nullptr; }

std::shared_ptr<XmlTree> XmlDocument::CurrentTree() const {
  std::lock_guard<std::mutex> lock(object_->mutex);
  return object_->tree;
}

void XmlDocument::Replace(std::shared_ptr<XmlTree> tree, XmlParseError error) {
  std::shared_ptr<XmlTree> old;
  std::lock_guard<std::mutex> lock(object_->mutex);
  old = std::move(object_->tree);  // released after the lock, with the last handle to it
  object_->tree = std::move(tree);
  object_->error = std::move(error);
}

bool XmlDocument::Parse(std::string_view bytes, const std::string& url, bool text_in_memory) {
  ErrorLog log;
  std::shared_ptr<XmlTree> tree;
  {
    EngineCall call(&log);
    tree = XmlTree::Adopt(ParseSafely(bytes, url, text_in_memory, log).release());
  }
  if (!tree) {
    Replace(XmlTree::Empty(),
            XmlParseError{log.code != 0 ? log.code : XML_ERR_INTERNAL_ERROR,
                          log.Describe("the document could not be parsed"), log.line});
    return false;
  }
  Replace(std::move(tree), XmlParseError{});
  return true;
}

bool XmlDocument::LoadXml(const std::string& text) { return Parse(text, std::string(), true); }

bool XmlDocument::LoadBytes(std::string_view bytes) { return Parse(bytes, std::string(), false); }

bool XmlDocument::Load(const std::string& location) {
  std::string path = location;
  if (path.rfind("file://", 0) == 0) {
    path.erase(0, 7);
    if (path.rfind("localhost/", 0) == 0) path.erase(0, 9);
  } else if (path.find("://") != std::string::npos) {
    Replace(XmlTree::Empty(), XmlParseError{XML_IO_NETWORK_ATTEMPT,
                                            "only local files can be loaded: " + location, 0});
    return false;
  }
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(path, ignored)) {
    // A URL may carry escapes such as %20 for a blank.
    std::string unescaped = Take(reinterpret_cast<xmlChar*>(
        xmlURIUnescapeString(path.c_str(), static_cast<int>(path.size()), nullptr)));
    if (std::filesystem::is_regular_file(unescaped, ignored)) path = unescaped;
  }
  std::string bytes;
  bool read = false;
  if (std::filesystem::is_regular_file(path, ignored)) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    read = file && (content << file.rdbuf()) && !file.bad();
    bytes = std::move(content).str();
  }
  if (!read) {
    Replace(XmlTree::Empty(),
            XmlParseError{XML_IO_LOAD_ERROR, "the file could not be read: " + path, 0});
    return false;
  }
  return Parse(bytes, path, false);
}

XmlParseError XmlDocument::ParseError() const {
  std::lock_guard<std::mutex> lock(object_->mutex);
  return object_->error;
}

XmlNode XmlDocument::DocumentElement() const {
  std::shared_ptr<XmlTree> tree = CurrentTree();
  if (!tree) return XmlNode();
  return XmlTree::Wrap(tree, xmlDocGetRootElement(tree->doc));
}

XmlNode XmlDocument::AsNode() const {
  std::shared_ptr<XmlTree> tree = CurrentTree();
  if (!tree) return XmlNode();
  return XmlTree::Wrap(tree, reinterpret_cast<xmlNodePtr>(tree->doc));
}

std::string XmlDocument::Xml() const { return AsNode().Xml(); }

XmlNode XmlDocument::CreateElement(const std::string& name) {
  std::shared_ptr<XmlTree> tree = CurrentTree();
  if (!tree || xmlValidateName(Chars(name), 0) != 0) return XmlNode();
  xmlNodePtr element = xmlNewDocNode(tree->doc, nullptr, Chars(name), nullptr);
  if (element == nullptr) return XmlNode();
  tree->detached.insert(element);
  return XmlTree::Wrap(tree, element);
}

XmlNode XmlDocument::CreateAttribute(const std::string& name) {
  std::shared_ptr<XmlTree> tree = CurrentTree();
  if (!tree || xmlValidateName(Chars(name), 0) != 0) return XmlNode();
  xmlAttrPtr attribute = xmlNewDocProp(tree->doc, Chars(name), nullptr);
  if (attribute == nullptr) return XmlNode();
  auto* node = reinterpret_cast<xmlNodePtr>(attribute);
  tree->detached.insert(node);
  return XmlTree::Wrap(tree, node);
}

bool XmlDocument::TransformNodeToObject(const XmlNode& stylesheet, XmlDocument& output,
                                        std::string* error) {
  auto fail = [&](const std::string& reason) {
    output.Replace(XmlTree::Empty(), XmlParseError{});
    if (error != nullptr) *error = reason;
    return false;
  };
  std::shared_ptr<XmlTree> source = CurrentTree();
  if (!source) return fail("the document is missing");
  if (!XmlEngineAvailable()) return fail("the XML engine is not available");
  if (!stylesheet) return fail("no stylesheet was given");
  std::shared_ptr<const CompiledStylesheet> compiled =
      XmlTree::TreeOf(stylesheet)->Compile(XmlTree::NodeOf(stylesheet));
  if (compiled->style == nullptr) return fail("the stylesheet did not compile: " + compiled->error);
  xsltStylesheetPtr style = compiled->style;

  ErrorLog log;
  EngineCall call(&log);
  xmlDocPtr input = source->doc;
  DocOwner input_copy;
  if (NeedsSpaceStripping(style)) {
    // xsl:strip-space removes text nodes from the input itself; handles may point at them.
    input_copy.reset(xmlCopyDoc(input, 1));
    if (!input_copy) return fail("out of memory");
    input = input_copy.get();
  } else {
    source->ordered.store(true);  // the transform context stamps document order into the input
  }
  std::unique_ptr<xsltTransformContext, decltype(&xsltFreeTransformContext)> context(
      xsltNewTransformContext(style, input), xsltFreeTransformContext);
  if (!context) return fail("the transformation could not start");
  xsltSetCtxtSecurityPrefs(EngineGlobals::Get().prefs(), context.get());
  xsltSetTransformErrorFunc(context.get(), nullptr, OnGenericMessage);
  DocOwner result(xsltApplyStylesheetUser(style, input, nullptr, nullptr, nullptr, context.get()));
  if (!result || context->state == XSLT_STATE_ERROR || context->state == XSLT_STATE_STOPPED) {
    return fail(log.Describe("the transformation failed"));
  }
  // The result carries an XML declaration when its output method is XML and xsl:output does
  // not omit it.
  const xmlChar* method = nullptr;
  int omit = -1;
  int standalone = -1;
  XSLT_GET_IMPORT_PTR(method, style, method)
  XSLT_GET_IMPORT_INT(omit, style, omitXmlDeclaration)
  XSLT_GET_IMPORT_INT(standalone, style, standalone)
  bool xml_method =
      method == nullptr || xmlStrEqual(method, reinterpret_cast<const xmlChar*>("xml"));
  result->standalone = (xml_method && omit != 1) ? (standalone == -1 ? -2 : standalone) : -1;
  StripBlankText(result.get());
  output.Replace(XmlTree::Adopt(result.release()), XmlParseError{});
  if (error != nullptr) error->clear();
  return true;
}

}  // namespace platform::xml
