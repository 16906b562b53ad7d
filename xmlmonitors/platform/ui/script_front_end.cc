// The script front-end: each dialog takes the next section of the script named by
// FEEDPROBE_UI=script:PATH and performs its lines as user actions (docs/dialog-scripts.md).
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os/debug_output.h"
#include "platform/ui/dialog.h"
#include "platform/ui/front_end.h"

namespace platform::ui {

namespace {

struct ScriptLine {
  int number = 0;
  std::string text;
};

struct Section {
  int header_line = 0;  // 0: the lines before the first "dialog" line
  int dialog_id = -1;   // -1: any dialog
  std::vector<ScriptLine> lines;
};

std::string Trim(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

bool ParseInt(const std::string& text, int* value) {
  if (text.empty()) return false;
  std::size_t used = 0;
  try {
    *value = std::stoi(text, &used);
  } catch (...) {
    return false;
  }
  return used == text.size();
}

bool Refuse(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The scripts read so far, with the next section of each. A rewritten file starts anew.
class ScriptStore {
 public:
  static ScriptStore& Instance() {
    static ScriptStore store;
    return store;
  }

  // False when the file cannot be read. Otherwise the next section, or none (an empty
  // section with dialog_id -1 and header_line -1) when the script has no more.
  bool NextSection(const std::string& path, Section* section) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream content;
    content << in.rdbuf();
    std::error_code error;
    const auto stamp = std::filesystem::last_write_time(path, error);
    Script& script = scripts_[path];
    if (script.content != content.str() || script.stamp != stamp) {
      script = Script{content.str(), stamp, Parse(content.str()), 0};
    }
    if (script.next >= script.sections.size()) {
      *section = Section{-1, -1, {}};
      return true;
    }
    *section = script.sections[script.next++];
    return true;
  }

 private:
  struct Script {
    std::string content;
    std::filesystem::file_time_type stamp;
    std::vector<Section> sections;
    std::size_t next = 0;
  };

  static std::vector<Section> Parse(const std::string& content) {
    std::vector<Section> sections(1);
    std::istringstream in(content);
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
      const std::string line = Trim(raw);
      if (line.empty() || line[0] == '#') continue;
      if (line.rfind("dialog", 0) == 0 &&
          (line.size() == 6 || std::isspace(static_cast<unsigned char>(line[6])))) {
        Section section;
        section.header_line = number;
        if (!ParseInt(Trim(line.substr(6)), &section.dialog_id)) section.dialog_id = -2;
        sections.push_back(section);
        continue;
      }
      sections.back().lines.push_back({number, line});
    }
    if (sections.front().lines.empty()) sections.erase(sections.begin());
    return sections;
  }

  std::mutex mutex_;
  std::map<std::string, Script> scripts_;
};

// Splits "a > b > c" at unescaped '>'; "\>" is a '>' and "\\" a backslash.
std::vector<std::string> SplitPath(const std::string& text) {
  std::vector<std::string> labels;
  std::string current;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '>' || text[i + 1] == '\\')) {
      current += text[++i];
    } else if (text[i] == '>') {
      labels.push_back(Trim(current));
      current.clear();
    } else {
      current += text[i];
    }
  }
  labels.push_back(Trim(current));
  return labels;
}

class ScriptSession : public FrontEndSession {
 public:
  ScriptSession(std::string path, Section section)
      : path_(std::move(path)), section_(std::move(section)) {}

  void Attach(Dialog& dialog) override { (void)dialog; }

  void Run(Dialog& dialog) override {
    if (section_.header_line < 0) {
      Note(0, "no actions left for dialog " + std::to_string(dialog.template_id()) +
                  "; it is cancelled");
      dialog.Cancel();
      if (!dialog.ended()) dialog.EndDialog(0);
      return;
    }
    if (section_.dialog_id == -2) {
      Fail(dialog, section_.header_line, "\"dialog\" needs a template id");
      return;
    }
    if (section_.dialog_id >= 0 && section_.dialog_id != dialog.template_id()) {
      Fail(dialog, section_.header_line,
           "this section is for dialog " + std::to_string(section_.dialog_id) + ", but dialog " +
               std::to_string(dialog.template_id()) + " is shown");
      return;
    }
    for (std::size_t i = 0; i < section_.lines.size(); ++i) {
      if (dialog.close_requested()) break;
      const ScriptLine& line = section_.lines[i];
      std::string error;
      if (!Perform(dialog, line.text, &error)) {
        Fail(dialog, line.number, error);
        return;
      }
      if (dialog.ended()) {
        if (i + 1 < section_.lines.size()) {
          Note(section_.lines[i + 1].number,
               "the dialog has closed; the rest of its section is skipped");
        }
        return;
      }
    }
    // The script ends with the dialog still open: as if the user pressed Esc.
    dialog.Cancel();
    if (!dialog.ended()) dialog.EndDialog(0);
  }

 private:
  void Note(int line, const std::string& text) const {
    platform::DebugOutput("feedprobe ui: script " + path_ +
                          (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + text +
                          "\n");
  }

  void Fail(Dialog& dialog, int line, const std::string& text) {
    Note(line, text + "; the dialog is cancelled");
    dialog.Abandon();
  }

  static TreeView* FirstTree(Dialog& dialog) {
    for (const auto& control : dialog.controls()) {
      if (auto* tree = dynamic_cast<TreeView*>(control.get())) return tree;
    }
    return nullptr;
  }

  static ListView* FirstList(Dialog& dialog) {
    for (const auto& control : dialog.controls()) {
      if (auto* list = dynamic_cast<ListView*>(control.get())) return list;
    }
    return nullptr;
  }

  static bool Usable(const Control& control, std::string* error) {
    if (!control.visible()) {
      *error = "control " + std::to_string(control.id()) + " is hidden";
      return false;
    }
    if (!control.enabled()) {
      *error = "control " + std::to_string(control.id()) + " is disabled";
      return false;
    }
    return true;
  }

  static bool Perform(Dialog& dialog, const std::string& line, std::string* error) {
    const std::size_t blank = line.find_first_of(" \t");
    const std::string command = line.substr(0, blank);
    const std::string argument = blank == std::string::npos ? "" : Trim(line.substr(blank));

    if (command == "select" || command == "expand" || command == "collapse") {
      TreeView* tree = FirstTree(dialog);
      if (tree == nullptr) return Refuse(error, "the dialog has no tree");
      if (!Usable(*tree, error)) return false;
      const TreeItem item = tree->FindByPath(SplitPath(argument));
      if (item == kNoTreeItem) return Refuse(error, "no tree item \"" + argument + "\"");
      if (command == "select") {
        tree->Select(item);
      } else {
        tree->Expand(item, command == "expand");
      }
      return true;
    }
    if (command == "tick" || command == "untick" || command == "pick") {
      ListView* list = FirstList(dialog);
      if (list == nullptr) return Refuse(error, "the dialog has no list");
      if (!Usable(*list, error)) return false;
      const int index = list->FindLabel(argument);
      if (index < 0) return Refuse(error, "no list item \"" + argument + "\"");
      if (command == "pick") {
        list->SetItemState(index, kItemSelected | kItemFocused, kItemSelected | kItemFocused);
      } else {
        if (!list->HasCheckBoxes()) return Refuse(error, "the list has no check boxes");
        list->SetItemState(index, command == "tick" ? kStateTicked : kStateUnticked,
                           kStateImageMask);
      }
      return true;
    }
    if (command == "press") {
      const Control* button = nullptr;
      for (const auto& control : dialog.controls()) {
        if (control->kind() == ControlKind::kPushButton &&
            EqualsIgnoringCase(StripMnemonic(control->text()), argument)) {
          button = control.get();
          break;
        }
      }
      int id = 0;
      if (button == nullptr && ParseInt(argument, &id)) {
        const Control* control = dialog.FindControl(id);
        if (control != nullptr && control->kind() == ControlKind::kPushButton) button = control;
      }
      if (button == nullptr) return Refuse(error, "no button \"" + argument + "\"");
      if (!Usable(*button, error)) return false;
      dialog.PressButton(button->id());
      return true;
    }
    if (command == "type") {
      const std::size_t equals = argument.find('=');
      if (equals == std::string::npos) return Refuse(error, "type needs TARGET = TEXT");
      const std::string target = Trim(argument.substr(0, equals));
      std::string text = Trim(argument.substr(equals + 1));
      if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
      }
      const Control* edit = nullptr;
      int id = 0;
      if (ParseInt(target, &id)) {
        edit = dialog.FindControl(id);
      } else {
        // The label: a static text; its edit is the next edit in tab order.
        const auto& controls = dialog.controls();
        for (std::size_t i = 0; i < controls.size() && edit == nullptr; ++i) {
          const std::string label = StripMnemonic(controls[i]->text());
          if (controls[i]->kind() != ControlKind::kStatic ||
              (label != target && label != target + ":")) {
            continue;
          }
          for (std::size_t j = i + 1; j < controls.size(); ++j) {
            if (controls[j]->kind() == ControlKind::kEdit) {
              edit = controls[j].get();
              break;
            }
          }
        }
      }
      if (edit == nullptr || edit->kind() != ControlKind::kEdit) {
        return Refuse(error, "no edit box \"" + target + "\"");
      }
      if (!Usable(*edit, error)) return false;
      if (edit->HasStyle(kStyleReadOnly)) {
        return Refuse(error, "edit box " + std::to_string(edit->id()) + " is read-only");
      }
      dialog.TypeText(edit->id(), text);
      return true;
    }
    if (command == "resize") {
      std::istringstream in(argument);
      std::string dw_text, dh_text, rest;
      in >> dw_text >> dh_text >> rest;
      int dw = 0, dh = 0;
      if (!ParseInt(dw_text, &dw) || !ParseInt(dh_text, &dh) || !rest.empty()) {
        return Refuse(error, "resize needs two numbers of pixels: WIDTH HEIGHT");
      }
      if (!dialog.resizable()) {
        return Refuse(error,
                      "dialog " + std::to_string(dialog.template_id()) + " is not resizable");
      }
      PixelRect proposed = dialog.WindowRect();
      proposed.right += dw;
      proposed.bottom += dh;
      dialog.ProposeSize(proposed);
      return true;
    }
    if (!argument.empty()) return Refuse(error, "\"" + command + "\" takes no argument");
    if (command == "help" || command == "F1") {
      dialog.RequestHelp(0);
      return true;
    }
    if (command == "enter") {
      dialog.PressDefault();
      return true;
    }
    if (command == "close" || command == "esc") {
      dialog.Cancel();
      return true;
    }
    *error = "unknown command \"" + command + "\"";
    return false;
  }

  std::string path_;
  Section section_;
};

}  // namespace

std::unique_ptr<FrontEndSession> OpenScriptSession(const std::string& path,
                                                   const DialogTemplate& dialog_template) {
  Section section;
  if (!ScriptStore::Instance().NextSection(path, &section)) {
    platform::DebugOutput("feedprobe ui: script " + path + " cannot be read; dialog " +
                          std::to_string(dialog_template.id) + " is not shown\n");
    return nullptr;
  }
  return std::make_unique<ScriptSession>(path, std::move(section));
}

}  // namespace platform::ui
