// The plug-in's exported functions: thin shims over the core, with C linkage.
#include "feedprobe/feedprobe.h"
#include "feedprobe/collection/measurements.h"
#include "feedprobe/plugin/lifecycle.h"
#include "feedprobe/plugin/user_data.h"
#include "feedprobe/selection/browse.h"
#include "feedprobe/selection/measurement_collection.h"
#include "feedprobe/plugin/small_entry_points.h"
#include "feedprobe/transport/com_server.h"

#define FEEDPROBE_EXPORT __attribute__((visibility("default")))

extern "C" {

FEEDPROBE_EXPORT int32_t InitMonitor(int32_t, int32_t, int32_t, int32_t,
                                     int32_t* documents_loaded, char* text, int32_t capacity) {
  return feedprobe::InitMonitor(documents_loaded, text, capacity);
}

FEEDPROBE_EXPORT void TerminateMonitor(void) { feedprobe::TerminateMonitor(); }

FEEDPROBE_EXPORT int32_t SetMonitorRate(uint32_t* rate) { return feedprobe::SetMonitorRate(rate); }

FEEDPROBE_EXPORT void CancelAdd(void) { feedprobe::CancelAdd(); }

FEEDPROBE_EXPORT void FreeMonitorStringAllocation(char** text) {
  feedprobe::FreeMonitorStringAllocation(text);
}

FEEDPROBE_EXPORT int32_t ActivateMeasurement(const char* identifier, const char* host,
                                             const char* encoded_login, char* text,
                                             int32_t capacity) {
  return feedprobe::ActivateMeasurement(identifier, host, encoded_login, text, capacity);
}

FEEDPROBE_EXPORT int32_t DeActivateMeasurement(const char* identifier, const char* host,
                                               char* text, int32_t capacity) {
  return feedprobe::DeActivateMeasurement(identifier, host, text, capacity);
}

FEEDPROBE_EXPORT int32_t GetNewData(const char* identifier, const char* host,
                                    SampleRecord* record, char* text, int32_t capacity) {
  return feedprobe::GetNewData(identifier, host, record, text, capacity);
}

FEEDPROBE_EXPORT int32_t TestMachine(const char* host, const char* encoded_login, char* text,
                                     int32_t capacity) {
  return feedprobe::TestMachine(host, encoded_login, text, capacity);
}

FEEDPROBE_EXPORT int32_t GetUserDataStr(const HostLoginRecord* login, const char* properties,
                                        char** output) {
  return feedprobe::GetUserDataStr(login, properties, output);
}

FEEDPROBE_EXPORT int32_t BrowseMonitorExBiggerDesc(FeedprobeHostWindow* parent, const char* host,
                                                   BrowsedMeasurement** measurements,
                                                   int32_t* count, char* text, int32_t capacity) {
  return feedprobe::BrowseMonitorExBiggerDesc(parent, host, measurements, count, text, capacity);
}

FEEDPROBE_EXPORT int32_t GetMeasurementsCollection(const HostLoginRecord* login,
                                                   const char* properties, char** output,
                                                   char* text, int32_t capacity) {
  return feedprobe::GetMeasurementsCollection(login, properties, output, text, capacity);
}

FEEDPROBE_EXPORT int32_t DllGetClassObject(const FeedprobeGuid* clsid, const FeedprobeGuid* iid,
                                           void** object) {
  return feedprobe::GetClassObject(reinterpret_cast<const platform::GUID*>(clsid),
                                   reinterpret_cast<const platform::GUID*>(iid), object);
}

FEEDPROBE_EXPORT int32_t DllCanUnloadNow(void) { return feedprobe::CanUnloadNow(); }

FEEDPROBE_EXPORT int32_t DllRegisterServer(void) { return feedprobe::RegisterServer(); }

FEEDPROBE_EXPORT int32_t DllUnregisterServer(void) { return feedprobe::UnregisterServer(); }

}  // extern "C"

static_assert(sizeof(FeedprobeGuid) == sizeof(platform::GUID));
