#include "feedprobe/selection/measurement_collection.h"

#include <string>

#include "feedprobe/collection/host_monitor_registry.h"
#include "feedprobe/plugin/configuration.h"
#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/plugin/host_failure.h"
#include "feedprobe/plugin/login_string.h"
#include "feedprobe/plugin/plugin_state.h"
#include "feedprobe/plugin/property_document.h"
#include "feedprobe/plugin/small_entry_points.h"
#include "feedprobe/plugin/user_data.h"
#include "feedprobe/xml/performance_monitor.h"
#include "feedprobe/xml/xml_reader.h"
#include "xmlmonitorshared/cstring.h"
#include "xmlmonitorshared/xml_text.h"

namespace feedprobe {
namespace {

using platform::xml::XmlNode;

constexpr size_t kMachineNameField = 128;


// Appends <monitorData> with one prop per non-empty property, in the order account, port,
// useHttps. False with a text when it cannot.
bool AddMonitorData(CXmlDocLoader& list, const std::string& account, const std::string& port,
                    const std::string& use_https, std::string& step_text) {
  platform::xml::XmlDocument* document = list.document();
  XmlNode root = document ? document->DocumentElement() : XmlNode();
  if (!root) {
    step_text = "The metric list has no root element";
    return false;
  }
  std::string markup = "<monitorData>";
  for (const auto& [name, value] : {std::pair<const char*, const std::string*>{"account", &account},
                                    {"port", &port},
                                    {"useHttps", &use_https}}) {
    if (!value->empty())
      markup += std::string("<prop name=\"") + name + "\"><value>" + EscapeXml(*value) +
                "</value></prop>";
  }
  markup += "</monitorData>";
  platform::xml::XmlDocument factory;
  if (!factory.LoadXml(markup) || !root.AppendChild(factory.DocumentElement())) {
    step_text = "The monitor data element could not be added";
    return false;
  }
  return true;
}

int32_t CollectMeasurements(const HostLoginRecord* login, const char* properties, char** output,
                            char* text, int32_t capacity) {
  PluginState& state = State();
  bool account_mode = ConfigInt("EnableAccount", 0) != 0;
  std::string port, use_https, account;
  if (properties != nullptr && properties[0] != '\0') {
    PropertyDocument document;
    if (document.Load(properties)) {
      document.GetConnectionProperties(port, use_https);
      if (account_mode) document.GetAccountProperty(account);
    }
  }
  std::string machine = login ? LoginRecordField(login->machine_name) : "";
  std::string host = machine;
  if (machine.size() == kMachineNameField && properties != nullptr) {
    // The record's field may have cut the name; the properties carry it whole.
    CXmlReader reader;
    if (!reader.LoadXml(properties)) {
      CopyToFailureBuffer(text, capacity, "Failed to load xml");
    } else {
      XmlNode node;
      std::string long_name;
      if (CXmlReader::GetNode(reader.GetRoot(), reader, "./LongMachineName", node) &&
          CXmlReader::GetText(node, reader, long_name))
        host = long_name;
    }
  }

  HostMonitorRegistry* registry = state.registry.get();
  if (registry == nullptr) return 3;
  std::shared_ptr<HostMonitor> monitor = registry->Find(host);
  bool created = false;
  if (!monitor) {
    created = true;
    std::string user = login ? LoginRecordField(login->user_name) : "";
    std::string password = login ? LoginRecordField(login->password) : "";
    std::string login_string =
        FormatUserData(user.c_str(), password.c_str(), port.c_str(), use_https.c_str(),
                       account_mode && !account.empty() ? account.c_str() : nullptr);
    if (login_string.size() > 1023) login_string.resize(1023);
    char failure[1024] = {};
    monitor = registry->GetOrCreate(host, false, login_string.c_str(), failure, sizeof failure);
    if (!monitor) {
      CopyToFailureBuffer(text, capacity, failure);
      return 3;
    }
  }

  bool ok = false;
  try {
    ok = monitor->ListPass();
  } catch (...) {
    ReportError(text, capacity, kMsgEntryPointFailed, {"(entry point GetMeasurementsCollection)"});
    ok = false;
  }
  if (ok) {
    std::string step_text, document_text;
    {
      std::lock_guard<std::recursive_mutex> lock(monitor->document_mutex());
      CXmlDocLoader& list = monitor->list_loader();
      std::string shown_account = account_mode ? account : "";
      if (!port.empty() || !use_https.empty() || !shown_account.empty())
        AddMonitorData(list, shown_account, port, use_https, step_text);
      std::string annotate_error;
      if (!AnnotateCounters(list.root_node(), state.description.root_node(),
                            state.show_name_when_no_description, annotate_error))
        step_text = annotate_error;
      XmlNode root = list.document() ? list.document()->DocumentElement() : XmlNode();
      if (root) document_text = root.Xml();
    }
    ok = step_text.empty();
    if (created && !EqualsIgnoringCase(MonitorType(), "tern_suite")) registry->Release(host);
    if (output != nullptr) *output = AllocateHostText(document_text, document_text.size() + 1);
  }
  if (!ok && capacity >= 1 && text != nullptr && text[0] == '\0') {
    std::lock_guard<std::recursive_mutex> lock(monitor->document_mutex());
    CopyToFailureBuffer(text, capacity, FormatHostFailure(monitor->list_loader()));
  }
  return ok ? 0 : 1;
}

}  // namespace

int32_t GetMeasurementsCollection(const HostLoginRecord* login, const char* properties,
                                  char** output, char* text, int32_t capacity) {
  return GuardEntryPoint(text, capacity, "(entry point GetMeasurementsCollection)", 1, [&] {
    return CollectMeasurements(login, properties, output, text, capacity);
  });
}

}  // namespace feedprobe
