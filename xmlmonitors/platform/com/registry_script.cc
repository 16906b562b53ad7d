#include "platform/com/registry_script.h"

#include <cctype>
#include <cstdlib>
#include <memory>
#include <vector>

namespace platform {
namespace {

enum class Flag { kNone, kNoRemove, kForceRemove, kDelete };

struct ScriptValue {
  bool present = false;
  bool is_number = false;
  std::string text;
  uint32_t number = 0;
};

struct ScriptKey {
  Flag flag = Flag::kNone;
  std::string name;
  ScriptValue value;
  std::vector<std::pair<std::string, ScriptValue>> named_values;
  std::vector<ScriptKey> children;
};

class Parser {
 public:
  Parser(const std::string& text, const std::map<std::string, std::string>& replacements)
      : text_(text), replacements_(replacements) {}

  bool ParseRoots(std::vector<ScriptKey>* roots) {
    for (;;) {
      std::string token;
      if (!Next(&token)) return true;
      ScriptKey root;
      root.flag = Flag::kNoRemove;
      root.name = token;  // only HKCR is supported; other roots are taken as named
      if (token != "HKCR" && token != "HKEY_CLASSES_ROOT") return false;
      if (!Expect("{") || !ParseBody(&root)) return false;
      roots->push_back(std::move(root));
    }
  }

 private:
  bool ParseBody(ScriptKey* parent) {
    for (;;) {
      std::string token;
      if (!Next(&token)) return false;
      if (token == "}") return true;
      if (token == "val") {
        std::string name;
        ScriptValue value;
        if (!Next(&name) || !Expect("=") || !ParseValue(&value)) return false;
        parent->named_values.emplace_back(name, value);
        continue;
      }
      ScriptKey key;
      if (token == "NoRemove") key.flag = Flag::kNoRemove;
      else if (token == "ForceRemove") key.flag = Flag::kForceRemove;
      else if (token == "Delete") key.flag = Flag::kDelete;
      if (key.flag != Flag::kNone && !Next(&token)) return false;
      key.name = token;
      std::string peeked;
      if (Peek(&peeked) && peeked == "=") {
        Next(&peeked);
        if (!ParseValue(&key.value)) return false;
      }
      if (Peek(&peeked) && peeked == "{") {
        Next(&peeked);
        if (!ParseBody(&key)) return false;
      }
      parent->children.push_back(std::move(key));
    }
  }

  bool ParseValue(ScriptValue* value) {
    std::string type, text;
    if (!Next(&type) || !Next(&text)) return false;
    value->present = true;
    if (type == "s") {
      value->text = text;
    } else if (type == "d") {
      value->is_number = true;
      value->number = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 0));
    } else {
      return false;
    }
    return true;
  }

  bool Expect(const char* wanted) {
    std::string token;
    return Next(&token) && token == wanted;
  }

  bool Peek(std::string* token) {
    size_t saved = at_;
    bool ok = Next(token);
    at_ = saved;
    return ok;
  }

  // Next token: a brace, "=", a 'quoted' text (replacements applied) or a bare word.
  bool Next(std::string* token) {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    if (at_ >= text_.size()) return false;
    char c = text_[at_];
    token->clear();
    if (c == '{' && !LooksLikeGuid()) {
      token->assign(1, '{');
      ++at_;
    } else if (c == '}' || c == '=') {
      token->assign(1, c);
      ++at_;
    } else if (c == '\'') {
      for (++at_; at_ < text_.size(); ++at_) {
        if (text_[at_] == '\'' && at_ + 1 < text_.size() && text_[at_ + 1] == '\'') {
          *token += '\'';
          ++at_;
        } else if (text_[at_] == '\'') {
          ++at_;
          break;
        } else {
          *token += text_[at_];
        }
      }
    } else {
      while (at_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[at_])) &&
             text_[at_] != '=' && (text_[at_] != '}' || !token->empty()) &&
             (text_[at_] != '{' || token->empty())) {
        *token += text_[at_++];
        if (token->front() == '{' && token->back() == '}') break;
      }
    }
    *token = Replace(*token);
    return true;
  }

  // A "{" that opens a class identifier rather than a block.
  bool LooksLikeGuid() const {
    return text_.size() - at_ >= 38 && text_[at_ + 37] == '}' && text_[at_ + 9] == '-';
  }

  std::string Replace(const std::string& token) const {
    std::string out;
    for (size_t i = 0; i < token.size(); ++i) {
      if (token[i] == '%') {
        size_t end = token.find('%', i + 1);
        if (end != std::string::npos) {
          auto found = replacements_.find(token.substr(i + 1, end - i - 1));
          if (found != replacements_.end()) {
            out += found->second;
            i = end;
            continue;
          }
        }
      }
      out += token[i];
    }
    return out;
  }

  const std::string& text_;
  const std::map<std::string, std::string>& replacements_;
  size_t at_ = 0;
};

void SetValue(RegistryData& data, const std::string& path, const std::string& name,
              const ScriptValue& value) {
  if (value.is_number) data.SetDword(path, name, value.number);
  else data.SetString(path, name, value.text);
}

void Register(RegistryData& data, const std::string& parent, const ScriptKey& key) {
  std::string path = parent.empty() ? key.name : parent + "\\" + key.name;
  if (key.flag == Flag::kDelete) {
    data.DeleteKeyTree(path);
    return;
  }
  if (key.flag == Flag::kForceRemove) data.DeleteKeyTree(path);
  data.CreateKey(path);
  if (key.value.present) SetValue(data, path, "", key.value);
  for (const auto& [name, value] : key.named_values) SetValue(data, path, name, value);
  for (const ScriptKey& child : key.children) Register(data, path, child);
}

void Unregister(RegistryData& data, const std::string& parent, const ScriptKey& key) {
  std::string path = parent.empty() ? key.name : parent + "\\" + key.name;
  if (key.flag == Flag::kNoRemove) {
    for (const ScriptKey& child : key.children) Unregister(data, path, child);
    return;
  }
  data.DeleteKeyTree(path);
}

}  // namespace

HRESULT ApplyRegistryScript(RegistryData& data, const std::string& script,
                            const std::map<std::string, std::string>& replacements,
                            bool register_entries) {
  std::vector<ScriptKey> roots;
  Parser parser(script, replacements);
  if (!parser.ParseRoots(&roots)) return E_INVALIDARG;
  // The roots stand for HKEY_CLASSES_ROOT itself: its keys are the store's top-level keys.
  for (const ScriptKey& root : roots) {
    for (const ScriptKey& key : root.children) {
      if (register_entries) Register(data, "", key);
      else Unregister(data, "", key);
    }
  }
  return S_OK;
}

}  // namespace platform
