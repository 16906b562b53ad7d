#include "feedprobe/plugin/error_reporting.h"

#include <cstring>

#include "xmlmonitorshared/exceptions.h"

namespace feedprobe {

void CopyToFailureBuffer(char* buffer, int32_t capacity, const std::string& text) {
  if (buffer == nullptr || capacity < 1) return;
  size_t size = static_cast<size_t>(capacity);
  size_t length = std::min(text.size(), size);
  std::memcpy(buffer, text.data(), length);
  std::memset(buffer + length, 0, size - length);
  buffer[size - 1] = '\0';
}

void ReportError(char* buffer, int32_t capacity, int32_t number,
                 std::initializer_list<platform::MessageArg> args) {
  if (buffer == nullptr || capacity < 1) return;
  CopyToFailureBuffer(buffer, capacity, platform::ProcessCatalogue().Format(number, args));
}

void ReportToRecord(LastErrorRecord& record, int32_t status, int32_t number,
                    std::initializer_list<platform::MessageArg> args) {
  std::string text = platform::ProcessCatalogue().Format(number, args);
  record.Set(status, text.c_str());
}

std::string CurrentExceptionText() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (CVkBaseException& e) {
    const char* text = *e;
    return text ? text : "CVkBaseException";
  } catch (...) {
    return "unknown exception";
  }
}

}  // namespace feedprobe
