// Numbered messages read from the catalogue file <path>.e2.
//
// File format: one message per line, "NUMBER TEXT". "#" starts a comment line. In TEXT,
// %1 ... %9 stand for the message's arguments in order, %% for a percent sign, \n for a line
// break, and a group "%[ ... %]" is kept only when every argument it names was passed.
// Formatting is typed: an argument is a text or a number and is shown as such whatever the
// file says, so no catalogue content can make formatting read a wrong argument or crash.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <shared_mutex>
#include <string>
#include <variant>

namespace platform {

// One argument of a message: a text (null counts as empty) or a 32-bit number.
class MessageArg {
 public:
  MessageArg(const char* text) : value_(std::string(text ? text : "")) {}
  MessageArg(const std::string& text) : value_(text) {}
  MessageArg(int32_t number) : value_(number) {}
  std::string ToText() const;

 private:
  std::variant<std::string, int32_t> value_;
};

class MessageCatalogue {
 public:
  void Init();
  // Reads path + ".e2"; 0 on success, another value when the file cannot be read.
  int AddFile(const std::string& path);
  void RemoveFile(const std::string& path);
  void Destroy();

  // The formatted message. A number without text gives a text that still carries the
  // number and the arguments.
  std::string Format(int32_t number, std::initializer_list<MessageArg> args) const;

 private:
  mutable std::shared_mutex mutex_;
  std::map<std::string, std::map<int32_t, std::string>> files_;
};

// The catalogue of this copy of the plug-in.
MessageCatalogue& ProcessCatalogue();

}  // namespace platform
