// The document loader: one XML document with the connection settings and the last error of
// the requests made for it. It fetches a document through the transport, parses it,
// transforms it in place with a stylesheet, and posts a document (optionally transformed)
// with the server's reply. Failures leave an error kind and a text a person can act on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "feedprobe/transport/monitor_transport.h"
#include "platform/com/interfaces.h"
#include "platform/xml/dom.h"

namespace feedprobe {

// Kinds of the last failure of a loader.
enum LoaderErrorKind : int32_t {
  kLoaderNoError = 0,
  kLoaderBadHost = 1,      // the host name is not usable
  kLoaderConnectFailed = 2,
  kLoaderNoDocument = 3,   // no document could be created
  kLoaderParseFailed = 4,  // the document did not load or parse
  kLoaderTransferFailed = 6,
};

class CXmlDocLoader {
 public:
  CXmlDocLoader() = default;
  // Disconnects a connection it still holds.
  ~CXmlDocLoader();
  CXmlDocLoader(const CXmlDocLoader&) = delete;
  CXmlDocLoader& operator=(const CXmlDocLoader&) = delete;

  // Gives the loader a fresh, empty document.
  bool CreateParser();
  void SetTransport(IMonitorTransport* transport);
  void SetServer(const std::string& host, int32_t port, int32_t flags);
  void SetCredentials(const std::string& user, const std::string& password);
  void SetKeepConnection(bool keep) { keep_connection_ = keep; }

  // Loads the target (through the transport, or directly as a local file or "file://" URL)
  // and transforms it in place with the stylesheet when one is given. A failed transform
  // keeps the untransformed document. False when the load failed (error recorded) or the
  // result has no root element (nothing recorded).
  bool LoadDocument(const std::string& target, const platform::xml::XmlNode& stylesheet,
                    bool direct);
  // Lets the document and the last root go (the loader gets a fresh, empty document), so that
  // a load that replaces them does not build the new trees while the old one is still held.
  void ReleaseDocument();
  // Posts the document, transformed with the stylesheet when one is given, to the target;
  // reply receives the server's answer. The loader's own document does not change.
  bool Post(const std::string& target, const platform::xml::XmlNode& stylesheet,
            std::string* reply);

  // The document; none before CreateParser or when it could not be created.
  platform::xml::XmlDocument* document() { return document_ ? &*document_ : nullptr; }
  const platform::xml::XmlDocument* document() const { return document_ ? &*document_ : nullptr; }
  // The document element after the last successful load; none before.
  const platform::xml::XmlNode& root_node() const { return root_; }
  int32_t error_kind() const { return error_kind_; }
  const std::string& error_text() const { return error_text_; }
  int32_t error_line() const { return error_line_; }
  const std::string& host() const { return host_; }
  int32_t port() const { return port_; }
  // The bytes of the last document received through the transport, as they arrived.
  const std::string& raw_text() const { return raw_text_; }

 private:
  bool CreateDocument(std::optional<platform::xml::XmlDocument>& document);
  bool FetchRoot();
  bool Connect(int32_t flags);
  void DisconnectUnlessKept();
  bool ReadDocument(const std::string& target, int32_t& kind);
  bool WriteDocument(const std::string& target, int32_t& kind, std::string* reply,
                     const platform::xml::XmlNode& node);
  bool TransformTo(const platform::xml::XmlNode& stylesheet,
                   std::optional<platform::xml::XmlDocument>& output);
  bool TransformInPlace(const platform::xml::XmlNode& stylesheet);
  void RecordError(int32_t kind);

  OLE_HANDLE connection_ = 0;
  platform::ComPtr<IMonitorTransport> transport_;
  std::optional<platform::xml::XmlDocument> document_;
  platform::xml::XmlNode root_;
  int32_t error_kind_ = kLoaderNoError;
  std::string error_text_;
  int32_t error_line_ = 0;
  std::string host_;
  int32_t port_ = 0;
  std::string user_;
  std::string password_;
  std::string raw_text_;
  bool keep_connection_ = true;
  int32_t connection_flags_ = 0;
};

// Loads a configured file (a path relative to the host's program folder, or an absolute
// one) into the loader. With report, a missing or broken file leaves its failure text in
// error_text.
bool loadXMLFromFile(const std::string& relative_path, CXmlDocLoader& loader,
                     std::string& error_text, bool report);

}  // namespace feedprobe
