#include "feedprobe/xml/xml_doc_loader.h"

#include "feedprobe/plugin/configuration.h"
#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/xml/engine_version_check.h"
#include "platform/com/memory_stream.h"
#include "platform/com/variant.h"
#include "platform/os/debug_output.h"
#include "platform/os/environment.h"
#include "platform/os/paths.h"

namespace feedprobe {
namespace {

using platform::xml::XmlDocument;
using platform::xml::XmlNode;

constexpr size_t kSnippetLimit = 256;
constexpr size_t kParseTextLimit = 2047;
constexpr size_t kFileTextLimit = 4095;

std::string Cut(std::string text, size_t limit) {
  if (text.size() > limit) text.resize(limit);
  return text;
}

}  // namespace

CXmlDocLoader::~CXmlDocLoader() {
  if (connection_ != 0 && transport_) transport_->disconnect(connection_);
}

bool CXmlDocLoader::CreateDocument(std::optional<XmlDocument>& document) {
  document.reset();
  if (platform::xml::XmlEngineAvailable()) {
    XmlDocument created;
    if (created.Created()) document = std::move(created);
  }
  if (!document) {
    RecordError(kLoaderNoDocument);
    return false;
  }
  return true;
}

bool CXmlDocLoader::CreateParser() {
  if (!CreateDocument(document_)) {
    RecordError(kLoaderNoDocument);
    return false;
  }
  return true;
}

void CXmlDocLoader::SetTransport(IMonitorTransport* transport) {
  if (transport) transport->AddRef();
  transport_ = platform::ComPtr<IMonitorTransport>::Adopt(transport);
}

void CXmlDocLoader::SetServer(const std::string& host, int32_t port, int32_t flags) {
  host_ = host;
  port_ = port;
  connection_flags_ = flags;
}

void CXmlDocLoader::SetCredentials(const std::string& user, const std::string& password) {
  user_ = user;
  password_ = password;
}

bool CXmlDocLoader::FetchRoot() {
  if (!document_) return false;
  XmlNode root = document_->DocumentElement();
  if (!root) return false;
  root_ = root;
  return true;
}

bool CXmlDocLoader::Connect(int32_t flags) {
  if (connection_ != 0 && keep_connection_) return true;
  if (!transport_) return false;
  platform::BString host(host_), user(user_), password(password_);
  OLE_HANDLE handle = 0;
  if (platform::FAILED(
          transport_->connect(host.get(), port_, user.get(), password.get(), flags, &handle)))
    handle = 0;
  connection_ = handle;
  return connection_ != 0;
}

void CXmlDocLoader::DisconnectUnlessKept() {
  if (keep_connection_ || connection_ == 0) return;
  transport_->disconnect(connection_);
  connection_ = 0;
}

bool CXmlDocLoader::ReadDocument(const std::string& target, int32_t& kind) {
  raw_text_.clear();
  kind = kLoaderConnectFailed;
  if (!Connect(connection_flags_)) return false;
  kind = kLoaderTransferFailed;

  auto stream = platform::ComPtr<platform::IStream>::Adopt(platform::CreateMemoryStream());
  platform::Variant destination;
  destination.SetUnknown(stream.get());
  platform::BString url(target);
  bool result = false;
  if (stream &&
      platform::SUCCEEDED(transport_->read(connection_, url.get(), destination.get(), nullptr))) {
    // The received bytes move out of the stream; the parser reads them in place.
    platform::TakeMemoryStreamContent(stream.get(), &raw_text_);
    if (document_->LoadBytes(raw_text_)) result = true;
    else kind = kLoaderParseFailed;
  }
  DisconnectUnlessKept();
  return result;
}

bool CXmlDocLoader::WriteDocument(const std::string& target, int32_t& kind, std::string* reply,
                                  const XmlNode& node) {
  kind = kLoaderConnectFailed;
  if (!Connect(mtf_default)) return false;
  kind = kLoaderTransferFailed;
  platform::Variant source, answer;
  source.SetString(node ? node.Xml() : document_->Xml());
  platform::BString url(target);
  bool result = platform::SUCCEEDED(
      transport_->write(connection_, url.get(), source.get(), answer.get(), nullptr));
  if (reply != nullptr) {
    *reply = answer.value().vt == platform::VT_BSTR ? platform::BstrToUtf8(answer.value().bstrVal)
                                                    : std::string();
  }
  DisconnectUnlessKept();
  return result;
}

bool CXmlDocLoader::TransformTo(const XmlNode& stylesheet, std::optional<XmlDocument>& output) {
  if (!CreateDocument(output)) return false;
  std::string why;
  if (!document_->TransformNodeToObject(stylesheet, *output, &why)) {
    platform::DebugOutput("Transformation failed!\r\n");
    return false;
  }
  return true;
}

bool CXmlDocLoader::TransformInPlace(const XmlNode& stylesheet) {
  std::optional<XmlDocument> output;
  if (!CreateDocument(output)) return false;
  std::string why;
  if (!document_->TransformNodeToObject(stylesheet, *output, &why)) {
    platform::DebugOutput("Transformation failed!\r\n");
    return false;
  }
  document_ = std::move(output);
  // A result whose root is a stylesheet means the engine did not understand the stylesheet.
  XmlNode root = document_->DocumentElement();
  if (root && root.Name() == "xsl:stylesheet") ShowEngineVersionWarning();
  return true;
}

bool CXmlDocLoader::LoadDocument(const std::string& target, const XmlNode& stylesheet,
                                 bool direct) {
  if (!document_) return false;
  int32_t kind = kLoaderParseFailed;
  if (direct) raw_text_.clear();
  bool loaded = direct ? document_->Load(target) : ReadDocument(target, kind);
  if (!loaded) {
    RecordError(kind);
    return false;
  }
  if (stylesheet) TransformInPlace(stylesheet);
  return FetchRoot();
}

void CXmlDocLoader::ReleaseDocument() {
  root_ = XmlNode();
  if (document_) CreateDocument(document_);
}

bool CXmlDocLoader::Post(const std::string& target, const XmlNode& stylesheet,
                         std::string* reply) {
  if (!document_) return false;
  std::optional<XmlDocument> output;
  if (stylesheet) {
    // After a failed transform the empty output document is what gets sent.
    if (!TransformTo(stylesheet, output) && !output) return false;
  }
  if (!FetchRoot()) return false;
  int32_t kind = kLoaderConnectFailed;
  bool written = WriteDocument(target, kind, reply, output ? output->AsNode() : XmlNode());
  if (!written) RecordError(kind);
  return written;
}

void CXmlDocLoader::RecordError(int32_t kind) {
  error_kind_ = kind;
  error_text_.clear();
  error_line_ = 0;
  if (kind == kLoaderConnectFailed || kind == kLoaderTransferFailed) {
    if (!transport_) return;
    int32_t code = 0;
    platform::BString message;
    if (platform::SUCCEEDED(transport_->getLastError(0, &code, message.out())))
      error_text_ = message.Utf8();
    return;
  }
  if (!document_) {
    error_text_ = Cut(platform::ProcessCatalogue().Format(kMsgNoXmlDocument,
                                                          {platform::ComputerName()}),
                      kFileTextLimit);
    return;
  }
  platform::xml::XmlParseError parse_error = document_->ParseError();
  if (parse_error.code == 0 && parse_error.reason.empty()) return;
  error_line_ = parse_error.line;
  std::string snippet = raw_text_.size() <= kSnippetLimit
                            ? raw_text_
                            : raw_text_.substr(0, kSnippetLimit - 3) + "...";
  error_text_ = Cut(platform::ProcessCatalogue().Format(
                        kMsgBadXmlAnswer,
                        {host_, port_, parse_error.line, parse_error.reason, snippet}),
                    kParseTextLimit);
}

bool loadXMLFromFile(const std::string& relative_path, CXmlDocLoader& loader,
                     std::string& error_text, bool report) {
  if (!loader.CreateParser()) return false;
  std::string path = platform::NativePath(relative_path);
  std::string full_path = !path.empty() && path.front() == '/' ? path : platform::ProgramFolder() + path;
  if (!platform::FileExists(full_path)) {
    if (report) {
      error_text = Cut(platform::ProcessCatalogue().Format(kMsgFileMissing,
                                                           {full_path, "loadXMLFromFile"}),
                       kFileTextLimit);
    }
    return false;
  }
  bool loaded = loader.LoadDocument("file://" + full_path, XmlNode(), true);
  if (!loaded && report) {
    error_text = Cut(platform::ProcessCatalogue().Format(
                         kMsgFileNotLoaded,
                         {full_path, loader.error_text(), loader.error_kind(), "loadXMLFromFile"}),
                     kFileTextLimit);
  }
  return loaded;
}

}  // namespace feedprobe
