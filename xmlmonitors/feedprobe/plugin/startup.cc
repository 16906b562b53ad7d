#include "feedprobe/plugin/startup.h"

#include "feedprobe/plugin/configuration.h"
#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/plugin/plugin_state.h"
#include "feedprobe/transport/com_server.h"
#include "platform/com/runtime.h"

namespace feedprobe {
namespace {

constexpr int32_t kUuidReadSize = 128;
constexpr int32_t kLibraryReadSize = 128;

// Loads one configured stylesheet; reports -47597 with location when it fails.
bool LoadStylesheet(const std::string& config, const char* key, CXmlDocLoader& loader,
                    const std::string& location, char* text, int32_t capacity) {
  std::string file = ConfigString(config, key, "", kPathReadSize);
  if (file.empty()) return true;
  std::string error;
  if (loadXMLFromFile(file, loader, error, true)) return true;
  ReportError(text, capacity, kMsgStartupFailed, {error, location});
  return false;
}

}  // namespace

bool CreateTransportProvider(const std::string& config) {
  RegisterOwnClasses();
  std::string value = ConfigString(config, "TransportProviderUUID", "", kUuidReadSize);
  platform::CLSID clsid = CLSID_HTTPTransport;
  // A malformed identifier parses as the null identifier, whose creation fails.
  if (!value.empty()) platform::ParseGuid(value, &clsid);
  PluginState& state = State();
  state.transport.Reset();
  if (platform::FAILED(platform::CoCreateInstance(clsid, nullptr, platform::CLSCTX_ALL,
                                                  IID_IMonitorTransport,
                                                  state.transport.out_void())))
    return false;
  return platform::SUCCEEDED(state.transport->initialize(0));
}

bool LoadTransportAndDocuments(const std::string& config, std::string& step, char* text,
                               int32_t capacity) {
  PluginState& state = State();
  {
    CXmlDocLoader probe;
    if (!probe.CreateParser()) {
      ReportError(text, capacity, kMsgStartupFailed, {probe.error_text(), "InitMonitor"});
      return false;
    }
  }

  step = "loading transport provider UUID";
  if (!CreateTransportProvider(config)) {
    ReportError(text, capacity, kMsgTransportCreation, {DialogTitle(), step});
    return false;
  }

  step = "loading description file";
  std::string description = ConfigString(config, "DescriptionFile", "", kPathReadSize);
  if (!description.empty()) {
    std::string ignored;
    loadXMLFromFile(description, state.description, ignored, false);
  }

  step = "loading metric list XSL";
  if (!LoadStylesheet(config, "MetricListXSL", state.metric_list_xsl, step, text, capacity))
    return false;
  step = "loading metric data XSL";
  if (!LoadStylesheet(config, "MetricDataXSL", state.metric_data_xsl, "InitMonitor", text,
                      capacity))
    return false;
  step = "loading metric control XSL";
  return LoadStylesheet(config, "MetricRequestXSL", state.metric_request_xsl, step, text,
                        capacity);
}

void LoadExtension(const std::string& config) {
  std::string name = ConfigString(config, "ExtensionDll", "", kLibraryReadSize);
  if (name.empty()) return;
  PluginState& state = State();
  platform::DynamicLibrary library;
  if (!library.Open(name)) return;
  state.extension = std::move(library);
  state.start_pullhub =
      reinterpret_cast<StartPullhubFunction>(state.extension.Symbol("StartPullhub"));
}

void ReleaseTransport() {
  PluginState& state = State();
  if (!state.transport) return;
  state.transport->shutdown(0);
  state.transport.Reset();
}

}  // namespace feedprobe
