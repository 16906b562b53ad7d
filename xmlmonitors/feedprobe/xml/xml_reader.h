// A small reader for an XML text the caller already holds: parses it, selects single nodes by
// XPath and returns their text. No transport, no stylesheet, no message catalogue; failures are
// kept as a text and a code in the error record, and a later failure overwrites an earlier one
// (success does not clear it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/xml/dom.h"

namespace feedprobe {

// The error record of the reader.
class CVKXmlErrorHandler {
 public:
  // -1: an engine failure or a reader without document; -2: a bad parameter; otherwise the
  // parser's error code.
  enum : int32_t { kEngineFailure = -1, kBadParameter = -2 };

  const std::string& GetErrorText() const { return error_text_; }
  // Length of the error text plus 1; 0 before the first failure.
  int32_t GetErrorTextSize() const { return error_text_size_; }
  int32_t GetErrorCode() const { return error_code_; }

  void SetError(const std::string& text, int32_t code);
  // An engine failure (code -1); the text says what failed, as the engine reports no code.
  void SetErrorFromHr(const std::string& failure);
  // "CXmlReader::<operation> Bad parameter", code -2.
  void SetBadParameter(const char* operation);

 private:
  std::string error_text_;
  int32_t error_text_size_ = 0;
  int32_t error_code_ = 0;
};

class CXmlReader : public CVKXmlErrorHandler {
 public:
  CXmlReader() = default;
  virtual ~CXmlReader() = default;
  CXmlReader(const CXmlReader&) = delete;
  CXmlReader& operator=(const CXmlReader&) = delete;

  // Creates the document unless there is one.
  virtual bool Create();
  // Takes a document that is already loaded, and its root element.
  virtual bool Attach(const platform::xml::XmlDocument& document);
  // Loads a local file (path or file:// URL); an empty path is a bad parameter.
  virtual bool Load(const std::string& path);
  // Parses a text held in memory.
  virtual bool LoadXml(const std::string& text);

  // After a load: takes the root element when loaded, else records the parse error (its code
  // in the code field). The root stays none for a document without a root element.
  bool Init(bool loaded);
  // The root element; none before a successful load.
  platform::xml::XmlNode GetRoot() const { return root_; }
  // True when there is a document; otherwise records "Xml reader not initiated.".
  bool CheckInit();

  // The first node the query selects from the context node, or from the reader's root when no
  // context is given. False when nothing was selected; a refused query is not an error.
  static bool GetNode(const platform::xml::XmlNode& context, CXmlReader& reader,
                      const std::string& query, platform::xml::XmlNode& node);
  // The node's text (empty when it has none); false, text untouched, without a node.
  static bool GetText(const platform::xml::XmlNode& node, CXmlReader& reader, std::string& text);

 private:
  std::optional<platform::xml::XmlDocument> document_;
  platform::xml::XmlNode root_;
};

}  // namespace feedprobe
