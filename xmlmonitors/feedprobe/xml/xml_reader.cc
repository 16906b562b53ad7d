#include "feedprobe/xml/xml_reader.h"

#include "xmlmonitorshared/format_string.h"

namespace feedprobe {

using platform::xml::XmlDocument;
using platform::xml::XmlNode;

void CVKXmlErrorHandler::SetError(const std::string& text, int32_t code) {
  error_text_ = text;
  error_text_size_ = static_cast<int32_t>(text.size()) + 1;
  error_code_ = code;
}

void CVKXmlErrorHandler::SetErrorFromHr(const std::string& failure) {
  SetError(failure, kEngineFailure);
}

void CVKXmlErrorHandler::SetBadParameter(const char* operation) {
  SetError(StringPrintf("CXmlReader::%s Bad parameter", operation), kBadParameter);
}

bool CXmlReader::Create() {
  if (document_) return true;
  XmlDocument document;
  if (!document.Created()) {
    SetErrorFromHr("The XML document could not be created.");
    return false;
  }
  document_ = std::move(document);
  return true;
}

bool CXmlReader::Attach(const XmlDocument& document) {
  if (!document.Created()) {
    SetErrorFromHr("The XML document to attach does not exist.");
    return false;
  }
  document_ = document;
  root_ = document.DocumentElement();
  return true;
}

bool CXmlReader::Load(const std::string& path) {
  if (!Create()) return false;
  if (path.empty()) {
    SetBadParameter("Load");
    return false;
  }
  return Init(document_->Load(path));
}

bool CXmlReader::LoadXml(const std::string& text) {
  if (!Create()) return false;
  return Init(document_->LoadXml(text));
}

bool CXmlReader::Init(bool loaded) {
  if (!CheckInit()) return false;
  if (loaded) {
    root_ = document_->DocumentElement();
    return true;
  }
  // The failed load left the document empty; the old root must not be read any more.
  root_ = XmlNode();
  int32_t code = document_->ParseError().code;
  if (code != 0) SetError("CXmlReader::Init Xml parse error code", code);
  return false;
}

bool CXmlReader::CheckInit() {
  if (document_) return true;
  SetError("Xml reader not initiated.", kEngineFailure);
  return false;
}

bool CXmlReader::GetNode(const XmlNode& context, CXmlReader& reader, const std::string& query,
                         XmlNode& node) {
  if (!reader.CheckInit()) return false;
  node = XmlNode();
  if (context) {
    node = context.SelectSingleNode(query);
  } else if (reader.root_) {
    node = reader.root_.SelectSingleNode(query);
  } else {
    reader.SetBadParameter("GetNode");
  }
  return static_cast<bool>(node);
}

bool CXmlReader::GetText(const XmlNode& node, CXmlReader& /*reader*/, std::string& text) {
  if (!node) return false;
  // The engine reads a node's text without failing, so the reader has nothing to record.
  text = node.Text();
  return true;
}

}  // namespace feedprobe
