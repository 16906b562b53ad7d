#include "platform/support/message_catalogue.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <vector>

namespace platform {
namespace {

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Expands the placeholders of text[begin, end); stops at an unmatched "%]" when nested.
std::string Expand(const std::string& text, size_t& i, const std::vector<std::string>& args,
                   bool& all_present, bool nested) {
  std::string out;
  while (i < text.size()) {
    char c = text[i];
    if (c != '%' || i + 1 >= text.size()) {
      out += c;
      ++i;
      continue;
    }
    char next = text[i + 1];
    if (next >= '1' && next <= '9') {
      size_t index = static_cast<size_t>(next - '1');
      if (index < args.size()) out += args[index];
      else all_present = false;
      i += 2;
    } else if (next == '%') {
      out += '%';
      i += 2;
    } else if (next == '[') {
      i += 2;
      bool group_present = true;
      std::string group = Expand(text, i, args, group_present, true);
      if (group_present) out += group;
    } else if (next == ']' && nested) {
      i += 2;
      return out;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string MessageArg::ToText() const {
  if (const auto* text = std::get_if<std::string>(&value_)) return *text;
  return std::to_string(std::get<int32_t>(value_));
}

void MessageCatalogue::Init() {}

int MessageCatalogue::AddFile(const std::string& path) {
  std::ifstream in(path + ".e2", std::ios::binary);
  if (!in) return 1;
  std::map<int32_t, std::string> messages;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    char* end = nullptr;
    long number = std::strtol(line.c_str() + start, &end, 10);
    if (end == line.c_str() + start) continue;
    size_t text_start = line.find_first_not_of(" \t", static_cast<size_t>(end - line.c_str()));
    messages[static_cast<int32_t>(number)] =
        text_start == std::string::npos ? std::string() : Unescape(line.substr(text_start));
  }
  std::unique_lock<std::shared_mutex> lock(mutex_);
  files_[path] = std::move(messages);
  return 0;
}

void MessageCatalogue::RemoveFile(const std::string& path) {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  files_.erase(path);
}

void MessageCatalogue::Destroy() {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  files_.clear();
}

std::string MessageCatalogue::Format(int32_t number,
                                     std::initializer_list<MessageArg> args) const {
  std::vector<std::string> texts;
  for (const MessageArg& arg : args) texts.push_back(arg.ToText());

  const std::string* pattern = nullptr;
  std::shared_lock<std::shared_mutex> lock(mutex_);
  for (const auto& [path, messages] : files_) {
    auto found = messages.find(number);
    if (found != messages.end()) {
      pattern = &found->second;
      break;
    }
  }
  if (pattern == nullptr) {
    std::string out = "Message " + std::to_string(number);
    for (size_t i = 0; i < texts.size(); ++i) out += (i == 0 ? ": " : "; ") + texts[i];
    return out;
  }
  size_t i = 0;
  bool all_present = true;
  return Expand(*pattern, i, texts, all_present, false);
}

MessageCatalogue& ProcessCatalogue() {
  static MessageCatalogue catalogue;
  return catalogue;
}

}  // namespace platform
