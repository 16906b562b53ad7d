// The latest failure of an owner (a host monitor, a transport thread, the data hand-off),
// handed out once per distinct failure in report-once mode. Not locked: the owner guards it.
#pragma once

#include <cstdint>
#include <string>

namespace feedprobe {

class LastErrorRecord {
 public:
  // A new status, or a given text that differs, makes the failure new (not yet reported).
  void Set(int32_t status, const char* text);
  // Gives the text (empty when already reported in report-once mode) and returns the status.
  // With QXV_MON_REPORT_ALWAYS in the environment the text is given every time.
  int32_t Take(std::string& output, bool report_once);

  int32_t status() const { return status_; }
  const std::string& text() const { return text_; }
  bool reported() const { return reported_; }

 private:
  std::string text_;
  bool reported_ = false;
  int32_t status_ = 0;
};

}  // namespace feedprobe
