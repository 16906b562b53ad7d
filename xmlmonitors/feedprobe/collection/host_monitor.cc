#include "feedprobe/collection/host_monitor.h"

#include <cstdlib>

#include "feedprobe/collection/xml_source.h"
#include "feedprobe/plugin/configuration.h"
#include "feedprobe/plugin/login_string.h"
#include "feedprobe/plugin/plugin_state.h"
#include "feedprobe/xml/performance_monitor.h"
#include "platform/inet/url.h"
#include "platform/os/environment.h"
#include "platform/os/tick.h"
#include "xmlmonitorshared/cstring.h"
#include "xmlmonitorshared/format_string.h"
#include "xmlmonitorshared/replace_all.h"
#include "xmlmonitorshared/xml_text.h"

namespace feedprobe {
namespace {

using platform::xml::XmlNode;

constexpr uint32_t kTeardownWaitMs = 3000;
constexpr size_t kAddressPartCapacity = 256;

// The number a text begins with (leading digits), 0 when there is none.
int32_t LeadingNumber(const std::string& text) { return std::atoi(text.c_str()); }


// Percent-encoding for a value inside a query string.
std::string EncodeQueryValue(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

// Sets a counter's enabled attribute, creating it on the node's document when absent.
void SetEnabled(XmlNode node, bool enabled) {
  if (node.Type() == platform::xml::XmlNodeType::kElement)
    node.SetAttribute("enabled", enabled ? "1" : "0");
}

}  // namespace

HostMonitor::HostMonitor()
    : cancellation_(std::make_shared<platform::inet::TransferCancellationToken>()) {}

HostMonitor::~HostMonitor() = default;

void HostMonitor::set_debug(bool mode, const std::string& list_url, const std::string& data_url) {
  debug_mode_ = mode;
  debug_list_url_ = list_url;
  debug_data_url_ = data_url;
}

std::string HostMonitor::ReadUrlKey(const char* key, const std::string& default_value) const {
  std::string value = ConfigString(configuration_path_, key, default_value.c_str(), kValueReadSize);
  std::string token = StringPrintf("%u:%s", platform::CurrentProcessId(), host_name_.c_str());
  return ReplacedCopy(value.c_str(), "%h", token.c_str());
}

bool HostMonitor::SetUp(const std::string& host_name, const char* login) {
  PluginState& state = State();
  configuration_path_ = GetConfigFilePath();
  account_mode_ = ConfigInt(configuration_path_, "EnableAccount", 0) != 0;
  if (host_name.empty()) return false;

  host_name_ = host_name;
  int32_t default_port = ConfigInt(configuration_path_, "DefaultPort", 0);
  state.measure_current_value = ConfigInt(configuration_path_, "MeasureCurrentValue", 0);
  std::string source =
      ConfigString(configuration_path_, "SourceHost", host_name.c_str(), kValueReadSize);

  // A source without a known scheme is read as an http address.
  auto cracked = platform::inet::CrackUrl(source, kAddressPartCapacity);
  if (!cracked || cracked->scheme == platform::inet::UrlScheme::kUnknown)
    cracked = platform::inet::CrackUrl("http://" + source, kAddressPartCapacity);
  if (cracked) {
    address_ = {cracked->scheme_name, cracked->host, cracked->port,
                cracked->user_name, cracked->password, cracked->path};
  }
  if (address_.scheme.empty()) address_.scheme = "http";
  if (address_.host.empty()) address_.host = host_name;
  if (address_.port == 0 || address_.port == 80) address_.port = default_port != 0 ? default_port : 80;
  port_ = address_.port;

  if (!XmlSourceCheck(*this, port_)) return false;
  address_.port = static_cast<uint16_t>(port_);

  for (CXmlDocLoader* loader : {&control_loader_, &list_loader_, &data_loader_}) {
    loader->CreateParser();
    loader->SetTransport(state.transport.get());
  }
  int32_t flags = 0;
  if (EqualsIgnoringCase(address_.scheme, "https")) flags |= mtf_https_scheme;

  std::string user = address_.user, password = address_.password;
  if (login != nullptr) {
    login_string_ = login;
    std::string port_text, use_https;
    ParseUserData(login, &user, &password, &port_text, &use_https, nullptr);
    if (!port_text.empty() && LeadingNumber(port_text) > 0) {
      port_ = LeadingNumber(port_text);
      address_.port = static_cast<uint16_t>(port_);
    }
    if (!use_https.empty() && LeadingNumber(use_https) == 1) flags |= mtf_https_scheme;
  }
  for (CXmlDocLoader* loader : {&control_loader_, &list_loader_, &data_loader_}) {
    loader->SetCredentials(user, password);
    loader->SetServer(address_.host, port_, flags);
  }

  std::string& path = address_.path;
  if (!path.empty() && path.back() == '/') path.pop_back();

  counter_activation_mode_ = ConfigInt(configuration_path_, "ActivateCounters", 0) != 0;
  if (counter_activation_mode_) request_url_ = ReadUrlKey("MetricRequestURL", path);
  shutdown_url_ = ReadUrlKey("ShutdownHostURL", "");
  init_url_ = ReadUrlKey("InitHostURL", "");
  ping_path_ = ReadUrlKey("PingHostURL", "");

  {
    std::string title = ConfigString(configuration_path_, "DlgTitle", DialogTitle().c_str(),
                                     kValueReadSize);
    std::string type_string =
        ConfigString(configuration_path_, "MonitorType", MonitorType().c_str(), kValueReadSize);
    std::lock_guard<std::mutex> lock(state.settings_mutex);
    if (title.size() < kValueReadSize - 1) state.dialog_title = title;
    if (type_string.size() < kValueReadSize - 1) state.monitor_type_string = type_string;
  }

  if (ConfigInt(configuration_path_, "ReuseConnections", 1) == 0) {
    list_loader_.SetKeepConnection(false);
    data_loader_.SetKeepConnection(false);
  }

  std::shared_ptr<HostMonitor> self = shared_from_this();
  thread_.Start([self] { self->SamplingThread(); });

  if (!InitHostStep()) return false;

  list_url_ = ReadUrlKey("MetricListURL", path);
  data_url_ = ReadUrlKey("MetricDataURL", path);
  if (!path.empty()) {
    for (std::string* url : {&list_url_, &data_url_, &request_url_})
      if (!url->empty()) *url = StringPrintf("%s/%s", path.c_str(), url->c_str());
  }
  if (account_mode_ && login != nullptr) {
    std::string account;
    ParseUserData(login, &user, &password, nullptr, nullptr, &account);
    if (!account.empty() && !user.empty() && !password.empty()) {
      // Values are percent-encoded so that they stay values of the query.
      std::string suffix = "&account=" + EncodeQueryValue(account) + "&_login=" +
                           EncodeQueryValue(user) + "&_password=" + EncodeQueryValue(password);
      list_url_ += suffix;
      data_url_ += suffix;
    }
  }
  return true;
}

std::string HostMonitor::LoginDocument() const {
  // Each value is escaped, so that the login information cannot add attributes or markup.
  std::string attributes;
  if (!login_string_.empty()) {
    std::string user, password, port, use_https, account = "\x01";
    ParseUserData(login_string_.c_str(), &user, &password, &port, &use_https, &account);
    attributes = "username=\"" + EscapeXml(user) + "\" password=\"" + EscapeXml(password) +
                 "\" port=\"" + EscapeXml(port) + "\" useHttps=\"" + EscapeXml(use_https) + "\"";
    if (account != "\x01") attributes += " account=\"" + EscapeXml(account) + "\"";
  }
  return StringPrintf(
      "<?xml version=\"1.0\" ?><PerformanceMonitor host=\"%s\" hosttype=\"%s\">\r\n <LoginInfo "
      "%s/>\r\n</PerformanceMonitor>\r\n",
      EscapeXml(host_name_).c_str(), EscapeXml(MonitorTypeString()).c_str(),
      attributes.c_str());
}

bool HostMonitor::InitHostStep() {
  if (!XmlSourceCheck(*this, port_)) return false;
  if (init_url_.empty()) return true;
  std::lock_guard<std::recursive_mutex> lock(document_mutex_);
  if (!control_loader_.document() || !control_loader_.document()->LoadXml(LoginDocument()))
    return true;
  std::string reply;
  control_loader_.Post(init_url_, XmlNode(), &reply);
  if (reply != "OK") {
    SetLastError(reply);
    return false;
  }
  return true;
}

bool HostMonitor::MarkActivation(const std::vector<std::string>& identifiers, bool enabled,
                                 bool send) {
  std::lock_guard<std::recursive_mutex> lock(document_mutex_);
  int32_t count = static_cast<int32_t>(identifiers.size());
  active_count_ += enabled ? count : -count;
  if (!counter_activation_mode_) return true;
  return MarkCounters(identifiers, enabled, send);
}

bool HostMonitor::MarkCounters(const std::vector<std::string>& identifiers, bool enabled,
                               bool send) {
  std::lock_guard<std::recursive_mutex> lock(document_mutex_);
  for (const std::string& identifier : identifiers) {
    request_pending_ = true;
    XmlNode node = SelectNodeByPath(identifier, list_loader_.root_node());
    if (node) SetEnabled(node, enabled);
  }
  if (send && request_pending_) {
    request_pending_ = false;
    return list_loader_.Post(request_url_, State().metric_request_xsl.root_node(), nullptr);
  }
  return true;
}

bool HostMonitor::LoadStep(Pass pass) {
  PluginState& state = State();
  bool list = pass == Pass::kList;
  CXmlDocLoader& loader = list ? list_loader_ : data_loader_;
  const std::string& debug_source = list ? debug_list_url_ : debug_data_url_;
  const std::string& target = list ? list_url_ : data_url_;
  const XmlNode& stylesheet =
      list ? state.metric_list_xsl.root_node() : state.metric_data_xsl.root_node();

  // Values are read from the data document only in its own pass; the old one can go first.
  if (!list) loader.ReleaseDocument();
  bool loaded = false;
  if (debug_mode_) {
    loaded = loader.LoadDocument(debug_source, stylesheet, true);
  } else {
    loaded = loader.LoadDocument(target, stylesheet, false);
    if (!loaded && (loader.error_kind() == kLoaderTransferFailed ||
                    loader.raw_text() == "Host not found")) {
      // One recovery: log in again, re-send the activations, load once more.
      InitHostStep();
      std::vector<std::string> active;
      {
        std::lock_guard<std::recursive_mutex> lock(document_mutex_);
        for (const auto& [identifier, on] : active_set_)
          if (on) active.push_back(identifier);
        // The re-send happens whatever the mode and does not count as an activation.
        MarkCounters(active, true, true);
      }
      loaded = loader.LoadDocument(target, stylesheet, false);
    }
  }
  platform::TimeOfDayValue time = platform::TimeOfDay();
  last_load_tick_.exchange(platform::TickCount());
  if (!loaded) return false;

  if (list) {
    std::lock_guard<std::recursive_mutex> lock(document_mutex_);
    for (const auto& [identifier, on] : active_set_) {
      if (!on) continue;
      XmlNode node = SelectNodeByPath(identifier, loader.root_node());
      if (node) SetEnabled(node, true);
    }
    list_loaded_ = true;
  } else {
    ExtractValues(time);
    // Nothing reads the data document after its values are out; it need not wait for the next
    // pass to be freed.
    loader.ReleaseDocument();
  }
  return true;
}

void HostMonitor::SetActive(const std::string& identifier, bool on) {
  std::lock_guard<std::recursive_mutex> lock(document_mutex_);
  auto [entry, added] = active_set_.try_emplace(identifier, on);
  if (added || entry->second != on) ++active_version_;
  entry->second = on;
}

bool HostMonitor::ListSelects(const std::string& identifier) {
  std::lock_guard<std::recursive_mutex> lock(document_mutex_);
  const XmlNode& root = list_loader_.root_node();
  uint64_t version = root.TreeVersion();
  // Identifiers the host asks for without activating them must not grow this without bound.
  if (version != list_selects_version_ || list_selects_.size() > 2 * active_set_.size() + 1024) {
    list_selects_.clear();
    list_selects_version_ = version;
  }
  auto [entry, added] = list_selects_.try_emplace(identifier, false);
  if (added) entry->second = static_cast<bool>(SelectNodeByPath(identifier, root));
  return entry->second;
}

bool HostMonitor::ListPass() {
  std::lock_guard<std::recursive_mutex> lock(document_mutex_);
  return LoadStep(Pass::kList);
}

bool HostMonitor::DataPass() { return LoadStep(Pass::kData); }

void HostMonitor::ShutdownStep() {
  MarkActivation({}, false, true);
  if (shutdown_url_.empty()) return;
  std::lock_guard<std::recursive_mutex> lock(document_mutex_);
  if (control_loader_.document() &&
      control_loader_.document()->LoadXml(
          "<?xml version=\"1.0\" ?><PerformanceMonitor>\r\n</PerformanceMonitor>\r\n"))
    control_loader_.Post(shutdown_url_, XmlNode(), nullptr);
}

int32_t HostMonitor::TakeLastError(std::string& text, bool report_once) {
  std::lock_guard<std::mutex> lock(values_mutex_);
  return last_error_.Take(text, report_once);
}

void HostMonitor::SetLastError(const std::string& text) {
  std::lock_guard<std::mutex> lock(values_mutex_);
  last_error_.Set(2, text.c_str());
}

void HostMonitor::RequestStop() {
  stop_event_.Set();
  cancellation_->Cancel();
}

void HostMonitor::Teardown() {
  if (!thread_.Running()) return;
  RequestStop();
  if (!thread_.Join(kTeardownWaitMs)) thread_.Abandon();
}

}  // namespace feedprobe
