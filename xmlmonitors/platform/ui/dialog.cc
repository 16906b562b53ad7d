#include "platform/ui/dialog.h"

#include <algorithm>

#include "platform/os/debug_output.h"
#include "platform/ui/front_end.h"

namespace platform::ui {

Dialog::Dialog(const DialogTemplate& dialog_template, FeedprobeHostWindow* parent,
               DialogProcedure procedure)
    : template_id_(dialog_template.id),
      resizable_(dialog_template.resizable),
      parent_(parent),
      procedure_(std::move(procedure)),
      caption_(dialog_template.caption) {
  for (const ControlTemplate& control : dialog_template.controls) {
    switch (control.kind) {
      case ControlKind::kTreeView:
        controls_.push_back(std::make_unique<TreeView>(this, control));
        break;
      case ControlKind::kListView:
        controls_.push_back(std::make_unique<ListView>(this, control));
        break;
      default:
        controls_.push_back(std::make_unique<Control>(this, control));
        break;
    }
  }
  window_ = PixelRect{0, 0, UnitsToPixelsX(dialog_template.width) + kFrameLeft + kFrameRight,
                      UnitsToPixelsY(dialog_template.height) + kFrameTop + kFrameBottom};
}

Dialog::~Dialog() = default;

Control* Dialog::FindControl(int id) const {
  for (const auto& control : controls_) {
    if (control->id() == id) return control.get();
  }
  return nullptr;
}

TreeView* Dialog::Tree(int id) const { return dynamic_cast<TreeView*>(FindControl(id)); }
ListView* Dialog::List(int id) const { return dynamic_cast<ListView*>(FindControl(id)); }

std::string Dialog::ControlText(int id) const {
  const Control* control = FindControl(id);
  return control == nullptr ? std::string() : control->text();
}

void Dialog::SetControlText(int id, const std::string& text) {
  if (Control* control = FindControl(id)) control->SetText(text);
}

PixelRect Dialog::ClientRect() const {
  return PixelRect{0, 0, window_.width() - kFrameLeft - kFrameRight,
                   window_.height() - kFrameTop - kFrameBottom};
}

void Dialog::EndDialog(int code) {
  if (ended_) return;
  ended_ = true;
  end_code_ = code;
}

void Dialog::Abandon() {
  if (!ended_) Cancel();
  ended_ = true;
  end_code_ = 0;
}

void Dialog::Update() {
  if (session_ != nullptr) session_->Update(*this);
}

bool Dialog::Deliver(Message& message) { return procedure_ ? procedure_(*this, message) : false; }

bool Dialog::PressButton(int id) {
  Control* button = FindControl(id);
  if (button == nullptr || button->kind() != ControlKind::kPushButton || !button->visible() ||
      !button->enabled()) {
    return false;
  }
  if (id == kIdCancel) {
    Cancel();
    return true;
  }
  Message message;
  message.kind = MessageKind::kCommand;
  message.control_id = id;
  message.code = kButtonClicked;
  Deliver(message);
  return true;
}

int Dialog::DefaultButtonId() const {
  for (const auto& control : controls_) {
    if (control->kind() == ControlKind::kPushButton && control->HasStyle(kStyleDefaultButton)) {
      return control->id();
    }
  }
  return kIdOk;
}

void Dialog::PressDefault() {
  const int id = DefaultButtonId();
  const Control* button = FindControl(id);
  // A hidden or disabled default button is not pressed.
  if (button != nullptr && (!button->visible() || !button->enabled())) return;
  if (id == kIdCancel) {
    Cancel();
    return;
  }
  Message message;
  message.kind = MessageKind::kCommand;
  message.control_id = id;
  message.code = kButtonClicked;
  Deliver(message);
}

void Dialog::Cancel() {
  Message message;
  message.kind = MessageKind::kCommand;
  message.control_id = kIdCancel;
  message.code = kButtonClicked;
  if (!Deliver(message)) EndDialog(0);
}

void Dialog::RequestHelp(int focused_id) {
  Message message;
  message.kind = MessageKind::kHelp;
  message.control_id = focused_id;
  Deliver(message);
}

bool Dialog::ProposeSize(const PixelRect& proposed) {
  if (!resizable_) return false;
  PixelRect rect = proposed;
  Message message;
  message.kind = MessageKind::kSizing;
  message.proposed = &rect;
  Deliver(message);
  // The window never turns inside out, whatever the procedure made of the proposal.
  if (rect.right < rect.left + kFrameLeft + kFrameRight)
    rect.right = rect.left + kFrameLeft + kFrameRight;
  if (rect.bottom < rect.top + kFrameTop + kFrameBottom)
    rect.bottom = rect.top + kFrameTop + kFrameBottom;
  window_ = rect;
  return true;
}

bool Dialog::TypeText(int edit_id, const std::string& text) {
  Control* edit = FindControl(edit_id);
  if (edit == nullptr || edit->kind() != ControlKind::kEdit || !edit->visible() ||
      !edit->enabled() || edit->HasStyle(kStyleReadOnly)) {
    return false;
  }
  edit->SetText(text);
  Message message;
  message.kind = MessageKind::kCommand;
  message.control_id = edit_id;
  message.code = kEditChanged;
  Deliver(message);
  return true;
}

void Dialog::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Message message;
  message.kind = MessageKind::kDestroy;
  Deliver(message);
  for (const auto& control : controls_) {
    if (auto* tree = dynamic_cast<TreeView*>(control.get())) tree->DeleteAllItems();
    if (auto* list = dynamic_cast<ListView*>(control.get())) list->DeleteAllItems();
  }
}

namespace {

std::unique_ptr<FrontEndSession> OpenSession(const DialogTemplate& dialog_template) {
  const FrontEndChoice choice = ChooseFrontEnd();
  switch (choice.kind) {
    case FrontEndKind::kTerminal:
      return OpenTerminalSession(dialog_template);
    case FrontEndKind::kScript:
      return OpenScriptSession(choice.script_path, dialog_template);
    case FrontEndKind::kNone:
      break;
  }
  return nullptr;
}

int RunWithSession(FrontEndSession& session, const DialogTemplate& dialog_template,
                   FeedprobeHostWindow* parent, const DialogProcedure& procedure,
                   intptr_t parameter) {
  Dialog dialog(dialog_template, parent, procedure);
  dialog.AttachSession(&session);
  session.Attach(dialog);
  Message init;
  init.kind = MessageKind::kInit;
  init.parameter = parameter;
  dialog.Deliver(init);
  if (!dialog.ended()) session.Run(dialog);
  dialog.Destroy();
  dialog.AttachSession(nullptr);
  return dialog.end_code();
}

}  // namespace

int RunDialog(const DialogTemplate& dialog_template, FeedprobeHostWindow* parent,
              const DialogProcedure& procedure, intptr_t parameter) {
  std::unique_ptr<FrontEndSession> session = OpenSession(dialog_template);
  if (session == nullptr) return 0;
  return RunWithSession(*session, dialog_template, parent, procedure, parameter);
}

void ShowMessageBox(FeedprobeHostWindow* parent, const std::string& text,
                    const std::string& caption) {
  const FrontEndChoice choice = ChooseFrontEnd();
  if (choice.kind == FrontEndKind::kScript) {
    platform::DebugOutput("feedprobe ui: message box \"" + caption + "\": " + text + "\n");
    return;
  }
  if (choice.kind != FrontEndKind::kTerminal) return;

  // A static text as wide as the longest line (within 60 characters), rows for the wrapped
  // text, and OK below; in dialog units, 4 per character column and 8 per row.
  int columns = 10, rows = 0, line = 0;
  for (char c : text + "\n") {
    if (c == '\n') {
      columns = std::max(columns, std::min(line, 60));
      rows += 1 + line / 61;
      line = 0;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++line;
    }
  }
  rows = std::min(rows, 12);
  DialogTemplate box;
  box.id = 0;
  box.caption = caption;
  box.width = columns * 4 + 16;
  box.height = rows * 8 + 36;
  box.controls.push_back({kUnaddressedId, ControlKind::kStatic, text,
                          UnitRect{8, 6, columns * 4, rows * 8}, kStyleMultiLine});
  box.controls.push_back({kIdOk, ControlKind::kPushButton, "OK",
                          UnitRect{box.width / 2 - 20, rows * 8 + 16, 40, 14},
                          kStyleDefaultButton});
  std::unique_ptr<FrontEndSession> session = OpenTerminalSession(box);
  if (session == nullptr) return;
  RunWithSession(
      *session, box, parent,
      [](Dialog& dialog, Message& message) {
        if (message.kind == MessageKind::kCommand && message.code == kButtonClicked &&
            (message.control_id == kIdOk || message.control_id == kIdCancel)) {
          dialog.EndDialog(message.control_id);
          return true;
        }
        return false;
      },
      0);
}

intptr_t SendToRootOwner(FeedprobeHostWindow* window, uint32_t message, uintptr_t wparam,
                         intptr_t lparam) {
  if (window == nullptr || window->marker != FEEDPROBE_HOST_WINDOW_MARKER ||
      window->send_message == nullptr) {
    return 0;
  }
  return window->send_message(window->context, message, wparam, lparam);
}

}  // namespace platform::ui
