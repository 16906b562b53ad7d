#include "feedprobe/plugin/last_error_record.h"

#include "platform/os/environment.h"

namespace feedprobe {

void LastErrorRecord::Set(int32_t status, const char* text) {
  if (status != status_ || (text != nullptr && text_ != text)) {
    reported_ = false;
    status_ = status;
  }
  text_ = text ? text : "";
}

int32_t LastErrorRecord::Take(std::string& output, bool report_once) {
  if (platform::EnvironmentValue("QXV_MON_REPORT_ALWAYS")) {
    output = text_;
  } else if (report_once && reported_) {
    output.clear();
  } else {
    output = text_;
    if (report_once) reported_ = true;
  }
  return status_;
}

}  // namespace feedprobe
