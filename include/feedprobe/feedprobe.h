/*
 * feedprobe: the C interface for hosts.
 *
 * A host loads one copy of the plug-in per monitor type (tomcat.so, demo.so, ...) and calls
 * these functions. Every function that can fail takes, as its last two parameters, a text
 * buffer owned by the host and its capacity in bytes; a failure text is cut to capacity - 1
 * bytes and always terminated, and a capacity below 1 leaves the buffer untouched.
 * Texts are NUL-terminated UTF-8 byte strings; a null text counts as empty.
 */
#ifndef FEEDPROBE_FEEDPROBE_H
#define FEEDPROBE_FEEDPROBE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Login information the host fills in: three NUL-terminated texts of 129 bytes. */
typedef struct HostLoginRecord {
  char machine_name[129];
  char user_name[129];
  char password[129];
} HostLoginRecord;

/* One chosen counter, returned by BrowseMonitorExBiggerDesc in a malloc'ed array. */
typedef struct BrowsedMeasurement {
  char reserved0[1024];
  char description[1024];    /* at most 1023 characters */
  char reserved1[516];
  char encoded_login[1024];  /* scrambled login string for ActivateMeasurement */
  int32_t zero;              /* always 0 */
  char identifier[4096];     /* measurement identifier, at most 4095 characters */
  char display_path[4096];   /* at most 4095 characters */
} BrowsedMeasurement;

/* The value GetNewData delivers. */
typedef struct SampleRecord {
  int32_t status;            /* set to 0 on delivery */
  int32_t unused;            /* never written */
  int32_t seconds;           /* time stamp of the value */
  int32_t microseconds;
  double value;
} SampleRecord;

/* The host's window, as the parent of the plug-in's dialogs. A help request (message 869
 * with the help topic as wparam) goes to send_message; a null window receives nothing. */
#define FEEDPROBE_HOST_WINDOW_MARKER 0x46505748u /* "FPWH" */
#define FEEDPROBE_HELP_MESSAGE 869u
typedef struct FeedprobeHostWindow {
  uint32_t marker;           /* FEEDPROBE_HOST_WINDOW_MARKER */
  void* context;
  intptr_t (*send_message)(void* context, uint32_t message, uintptr_t wparam, intptr_t lparam);
} FeedprobeHostWindow;

/* A class or interface identifier, laid out like the component runtime's GUID. */
typedef struct FeedprobeGuid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
} FeedprobeGuid;

/* Start and stop. InitMonitor returns 0 on success, 2 on failure; *documents_loaded is set
 * to 0 once every configured document has been loaded. */
int32_t InitMonitor(int32_t unused1, int32_t unused2, int32_t unused3, int32_t unused4,
                    int32_t* documents_loaded, char* text, int32_t capacity);
void TerminateMonitor(void);

/* Login string: *output receives a scrambled login string; release it with
 * FreeMonitorStringAllocation. Always returns 1. */
int32_t GetUserDataStr(const HostLoginRecord* login, const char* properties, char** output);

/* Small entry points. */
int32_t SetMonitorRate(uint32_t* rate);
void CancelAdd(void);
void FreeMonitorStringAllocation(char** text);

/* Measurements. */
int32_t ActivateMeasurement(const char* identifier, const char* host, const char* encoded_login,
                            char* text, int32_t capacity);
int32_t DeActivateMeasurement(const char* identifier, const char* host, char* text,
                              int32_t capacity);
int32_t GetNewData(const char* identifier, const char* host, SampleRecord* record, char* text,
                   int32_t capacity);
int32_t TestMachine(const char* host, const char* encoded_login, char* text, int32_t capacity);

/* Selection: *measurements receives a malloc'ed array of *count records (the host frees it). */
int32_t BrowseMonitorExBiggerDesc(FeedprobeHostWindow* parent, const char* host,
                                  BrowsedMeasurement** measurements, int32_t* count, char* text,
                                  int32_t capacity);
int32_t GetMeasurementsCollection(const HostLoginRecord* login, const char* properties,
                                  char** output, char* text, int32_t capacity);

/* In-process component server; results are HRESULT values. */
int32_t DllGetClassObject(const FeedprobeGuid* clsid, const FeedprobeGuid* iid, void** object);
int32_t DllCanUnloadNow(void);
int32_t DllRegisterServer(void);
int32_t DllUnregisterServer(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* The records cross to the host byte for byte. */
#ifdef __cplusplus
#define FEEDPROBE_STATIC_ASSERT static_assert
#else
#define FEEDPROBE_STATIC_ASSERT _Static_assert
#endif
FEEDPROBE_STATIC_ASSERT(sizeof(HostLoginRecord) == 387, "HostLoginRecord size");
FEEDPROBE_STATIC_ASSERT(offsetof(HostLoginRecord, user_name) == 129, "user name offset");
FEEDPROBE_STATIC_ASSERT(offsetof(HostLoginRecord, password) == 258, "password offset");
FEEDPROBE_STATIC_ASSERT(sizeof(BrowsedMeasurement) == 11784, "BrowsedMeasurement size");
FEEDPROBE_STATIC_ASSERT(offsetof(BrowsedMeasurement, description) == 1024, "description offset");
FEEDPROBE_STATIC_ASSERT(offsetof(BrowsedMeasurement, encoded_login) == 2564, "login offset");
FEEDPROBE_STATIC_ASSERT(offsetof(BrowsedMeasurement, zero) == 3588, "integer offset");
FEEDPROBE_STATIC_ASSERT(offsetof(BrowsedMeasurement, identifier) == 3592, "identifier offset");
FEEDPROBE_STATIC_ASSERT(offsetof(BrowsedMeasurement, display_path) == 7688, "display offset");
FEEDPROBE_STATIC_ASSERT(sizeof(SampleRecord) == 24, "SampleRecord size");
FEEDPROBE_STATIC_ASSERT(offsetof(SampleRecord, seconds) == 8, "seconds offset");
FEEDPROBE_STATIC_ASSERT(offsetof(SampleRecord, microseconds) == 12, "microseconds offset");
FEEDPROBE_STATIC_ASSERT(offsetof(SampleRecord, value) == 16, "value offset");
FEEDPROBE_STATIC_ASSERT(sizeof(FeedprobeGuid) == 16, "FeedprobeGuid size");

#endif /* FEEDPROBE_FEEDPROBE_H */
