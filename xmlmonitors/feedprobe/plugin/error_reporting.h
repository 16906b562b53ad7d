// How failures reach the host: catalogue messages formatted into the host's text buffer or
// into a last-error record, and the guard that every entry point runs its body in.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>

#include "feedprobe/plugin/last_error_record.h"
#include "platform/support/message_catalogue.h"

namespace feedprobe {

// Message numbers of the catalogue.
enum MessageNumber : int32_t {
  kMsgHttpStatus = -47599,         // status code, status text, user part, host, port, target, location
  kMsgNoConfiguration = -47598,    // location
  kMsgStartupFailed = -47597,      // description, location
  kMsgEntryPointFailed = -47596,   // one text
  kMsgHostUnreachable = -47595,    // host, port, error text[, location]
  kMsgTransportCreation = -47594,  // dialog title, state text
  kMsgHostNotRegistered = -47593,  // host, location
  kMsgLibraryNotLoaded = -47592,   // library name, location
  kMsgClientFailure = -47591,      // error text, location
  kMsgFileMissing = -47590,        // full path, location
  kMsgFileNotLoaded = -47589,      // full path, loader error text, error kind, location
  kMsgNoXmlDocument = -47588,      // computer name
  kMsgBadXmlAnswer = -47587,       // host, port, line, reason, snippet
  kMsgMonitorTypeTooLong = -47586, // monitor type, location
};

// Copies a text into the host's buffer: at most capacity - 1 bytes, the rest of the buffer
// zero-filled, always terminated; a capacity below 1 leaves the buffer untouched.
void CopyToFailureBuffer(char* buffer, int32_t capacity, const std::string& text);

// Formats a catalogue message into the host's buffer.
void ReportError(char* buffer, int32_t capacity, int32_t number,
                 std::initializer_list<platform::MessageArg> args);

// Formats a catalogue message into a last-error record with the status.
void ReportToRecord(LastErrorRecord& record, int32_t status, int32_t number,
                    std::initializer_list<platform::MessageArg> args);

// Runs an entry point's body. An exception escaping it is reported with message -47596 and
// the entry point's text, and the entry point returns failure_result: an exception must not
// unwind into a host that cannot catch it.
template <typename Body>
int32_t GuardEntryPoint(char* buffer, int32_t capacity, const char* entry_text,
                        int32_t failure_result, Body&& body) {
  try {
    return body();
  } catch (...) {
    ReportError(buffer, capacity, kMsgEntryPointFailed, {entry_text});
    return failure_result;
  }
}

// Describes the exception being handled, for the debugger output.
std::string CurrentExceptionText();

}  // namespace feedprobe
