// One monitored host: its server address and request URLs, the login exchange, the metric
// list, the sampled values and the sampling thread that fetches them.
//
// Threads: entry points run on the host's threads, the sampling thread runs data passes.
// document_mutex guards the list and control loaders (with the list document), the active
// set and the activation state; values_mutex guards the last error and the value table. The
// data loader belongs to the sampling thread once set-up is done.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "feedprobe/plugin/last_error_record.h"
#include "feedprobe/xml/xml_doc_loader.h"
#include "platform/inet/transfer_cancellation.h"
#include "platform/os/sync.h"
#include "platform/os/thread.h"
#include "platform/support/host_services.h"

namespace feedprobe {

// The latest value of a measurement; seconds 0 marks a value the host has taken already.
struct ValueRecord {
  std::string text;
  platform::TimeOfDayValue time;
};

// The parts of the server address that set-up uses.
struct ServerAddress {
  std::string scheme;
  std::string host;
  int32_t port = 0;
  std::string user;
  std::string password;
  std::string path;
};

class HostMonitor : public std::enable_shared_from_this<HostMonitor> {
 public:
  HostMonitor();
  ~HostMonitor();
  HostMonitor(const HostMonitor&) = delete;
  HostMonitor& operator=(const HostMonitor&) = delete;

  // Binds the host monitor to a host; login is the decoded login string or null. On failure
  // the last error holds the reason (none for an empty host name).
  bool SetUp(const std::string& host_name, const char* login);
  // Stops the sampling thread: stop event, abort of its transfer, a wait of up to 3000 ms.
  // A thread that does not end is left to finish on its own; it keeps this object alive.
  void Teardown();
  // The first half of Teardown, so that many threads can be stopped at once.
  void RequestStop();

  bool ListPass();
  bool DataPass();
  bool InitHostStep();
  // Sends a pending activation request and posts the shutdown document.
  void ShutdownStep();
  // Marks counters enabled or disabled in the metric list and, in counter activation mode,
  // sends the activation request when asked to.
  bool MarkActivation(const std::vector<std::string>& identifiers, bool enabled, bool send);

  int32_t TakeLastError(std::string& text, bool report_once);
  void SetLastError(const std::string& text);
  // Asks the sampling thread for a data pass.
  void Signal() { sample_event_.Set(); }
  // Signal, but only when the thread would find a pass due: a wake-up for nothing costs more
  // than the rest of a GetNewData call.
  void SignalIfDue();

  const std::string& host_name() const { return host_name_; }
  const std::string& login_string() const { return login_string_; }
  const ServerAddress& address() const { return address_; }
  int32_t port() const { return port_; }
  const std::string& list_url() const { return list_url_; }
  const std::string& data_url() const { return data_url_; }
  const std::string& request_url() const { return request_url_; }
  const std::string& ping_path() const { return ping_path_; }
  const std::string& configuration_path() const { return configuration_path_; }
  bool counter_activation_mode() const { return counter_activation_mode_; }
  void set_debug(bool mode, const std::string& list_url, const std::string& data_url);

  // Guarded by document_mutex.
  std::recursive_mutex& document_mutex() { return document_mutex_; }
  CXmlDocLoader& list_loader() { return list_loader_; }
  CXmlDocLoader& control_loader() { return control_loader_; }
  const std::map<std::string, bool>& active_set() const { return active_set_; }
  void SetActive(const std::string& identifier, bool on);
  // Whether the identifier selects a node in the metric list document, remembered for each
  // version of that document so that GetNewData evaluates no query on a repeated call.
  bool ListSelects(const std::string& identifier);
  std::map<std::string, bool>& browse_selection() { return browse_selection_; }
  bool list_loaded() const { return list_loaded_; }
  bool request_pending() const { return request_pending_; }
  int32_t active_count() const { return active_count_; }
  uint32_t& last_list_check_tick() { return last_list_check_tick_; }

  // Guarded by values_mutex.
  std::mutex& values_mutex() { return values_mutex_; }
  std::map<std::string, ValueRecord>& value_table() { return value_table_; }
  bool data_pass_failed() const { return data_pass_failed_; }
  // Only for the data pass and its tests. Its document is released at the end of each pass.
  CXmlDocLoader& data_loader() { return data_loader_; }

 private:
  enum class Pass { kList, kData };
  bool LoadStep(Pass pass);
  // The marking and sending part of MarkActivation, whatever the mode, without counting.
  bool MarkCounters(const std::vector<std::string>& identifiers, bool enabled, bool send);
  void ExtractValues(const platform::TimeOfDayValue& time);
  void SamplingThread();
  void SampleIfDue();
  std::string ReadUrlKey(const char* key, const std::string& default_value) const;
  std::string LoginDocument() const;

  LastErrorRecord last_error_;
  CXmlDocLoader control_loader_;
  CXmlDocLoader list_loader_;
  CXmlDocLoader data_loader_;
  std::string host_name_;
  int32_t port_ = 0;
  std::string list_url_;
  std::string data_url_;
  std::string request_url_;
  std::string shutdown_url_;
  std::string init_url_;
  std::string ping_path_;
  std::map<std::string, ValueRecord> value_table_;
  std::map<std::string, bool> active_set_;
  uint64_t active_version_ = 0;  // counts changes of the active set
  // The sampling thread's copy of the active identifiers and the active set version it is of.
  std::vector<std::string> extraction_ids_;
  uint64_t extraction_version_ = UINT64_MAX;
  // ListSelects: answers and the list document version they belong to.
  std::unordered_map<std::string, bool> list_selects_;
  uint64_t list_selects_version_ = 0;
  std::map<std::string, bool> browse_selection_;
  bool list_loaded_ = false;
  bool counter_activation_mode_ = false;
  platform::Thread thread_;
  platform::AutoResetEvent sample_event_;
  platform::AutoResetEvent stop_event_;
  std::shared_ptr<platform::inet::TransferCancellationToken> cancellation_;
  std::recursive_mutex document_mutex_;
  std::mutex values_mutex_;
  ServerAddress address_;
  bool data_pass_failed_ = false;
  bool debug_mode_ = false;
  std::string debug_list_url_;
  std::string debug_data_url_;
  platform::Interlocked<uint32_t> last_load_tick_{0};
  bool request_pending_ = false;
  int32_t active_count_ = 0;
  uint32_t last_list_check_tick_ = 0;
  bool account_mode_ = false;
  std::string login_string_;
  std::string configuration_path_;
};

}  // namespace feedprobe
