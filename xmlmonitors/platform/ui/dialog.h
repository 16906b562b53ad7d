// Modal dialogs run from a template with a dialog procedure, the message box, and messages to
// the host's window.
//
// RunDialog shows the dialog through the front-end named by FEEDPROBE_UI:
//   terminal     ncurses on /dev/tty (the default when /dev/tty can be opened)
//   script:PATH  a script of user actions (docs/dialog-scripts.md)
//   none         nothing can be shown (the default without /dev/tty)
// A dialog that cannot be shown returns 0, as a cancelled one does, and its procedure receives
// no message at all.
//
// Messages, in the order a run delivers them: kInit (with the parameter) once; then commands,
// notifications, help and sizing as the user acts; kDestroy once the procedure has called
// EndDialog; then the item-deleted notifications of every item still in a tree or list, so
// that the procedure frees their data.
#pragma once

#include <cstdint>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "feedprobe/feedprobe.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog_template.h"
#include "platform/ui/geometry.h"

namespace platform::ui {

enum class MessageKind { kInit, kCommand, kNotify, kHelp, kSizing, kDestroy };

// Notification codes of kCommand.
constexpr int kButtonClicked = 0;
constexpr int kEditChanged = 0x0300;  // the user changed the text of an edit

enum class NotifyCode {
  kTreeSelectionChanged,  // tree: old_item/old_data left, new_item/new_data selected
  kTreeItemDeleted,       // tree: old_item/old_data deleted
  kListItemChanged,       // list: the state of item index changed (tick or selection)
  kListItemDeleted,       // list: item index with data deleted
};

struct TreeNotification {
  TreeItem old_item = kNoTreeItem;
  void* old_data = nullptr;
  TreeItem new_item = kNoTreeItem;
  void* new_data = nullptr;
};

struct ListNotification {
  int index = -1;
  void* data = nullptr;
  uint32_t old_state = 0;
  uint32_t new_state = 0;
  uint32_t changed = 0;  // the state bits that changed
};

struct Message {
  MessageKind kind = MessageKind::kInit;
  intptr_t parameter = 0;  // kInit: the parameter of RunDialog
  int control_id = 0;      // kCommand, kNotify; kHelp: the control with the focus (0: none)
  int code = 0;            // kCommand: the notification code
  NotifyCode notify = NotifyCode::kTreeSelectionChanged;  // kNotify
  TreeNotification tree;                                  // kNotify from a tree
  ListNotification list;                                  // kNotify from a list
  PixelRect* proposed = nullptr;  // kSizing: the proposed window rectangle; may be changed
};

// Returns true when it handled the message. A Cancel command (Esc, the close box) that the
// procedure does not handle ends the dialog with 0.
using DialogProcedure = std::function<bool(Dialog& dialog, Message& message)>;

class FrontEndSession;

// A dialog being shown: what its procedure works with. The front-ends call the user-action
// operations at the end.
class Dialog {
 public:
  Dialog(const DialogTemplate& dialog_template, FeedprobeHostWindow* parent,
         DialogProcedure procedure);
  ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  int template_id() const { return template_id_; }
  bool resizable() const { return resizable_; }
  FeedprobeHostWindow* parent() const { return parent_; }

  const std::string& caption() const { return caption_; }
  void SetCaption(const std::string& caption) { caption_ = caption; }

  // The control with the id (the first one when several share it); null when none.
  Control* FindControl(int id) const;
  // The tree or list with the id; null when there is no such control of that kind.
  TreeView* Tree(int id) const;
  ListView* List(int id) const;
  // Text of a control; empty for an unknown id, and setting it then does nothing.
  std::string ControlText(int id) const;
  void SetControlText(int id, const std::string& text);
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

  // Window rectangle in screen pixels, frame included; the client rectangle starts at 0, 0.
  const PixelRect& WindowRect() const { return window_; }
  PixelRect ClientRect() const;

  // Ends the modal run with the code once the current message has been handled.
  void EndDialog(int code);
  bool ended() const { return ended_; }
  int end_code() const { return end_code_; }

  // Draws the dialog now (for a long step inside a message, such as a load at init).
  void Update();

  // Delivers a message to the procedure; its result.
  bool Deliver(Message& message);

  // User actions, the same for every front-end. Those returning bool give false when the
  // action is not possible (hidden or disabled control, no such item, fixed size).
  bool PressButton(int id);
  void PressDefault();
  void Cancel();
  void RequestHelp(int focused_id);
  bool ProposeSize(const PixelRect& proposed);
  bool TypeText(int edit_id, const std::string& text);
  // The default push button's id (the first with kStyleDefaultButton), else kIdOk.
  int DefaultButtonId() const;

  // Front-end side.
  // The front-end gives up (a script error): Cancel as Esc would, then the run ends with 0
  // whatever the procedure did.
  void Abandon();
  // Asks for the dialog to close as cancelled; safe from any thread. The front-end acts on it
  // at its next chance (a terminal within a quarter of a second, a script before its next line).
  void RequestClose() { close_requested_ = true; }
  bool close_requested() const { return close_requested_; }
  void SetWindowRect(const PixelRect& rect) { window_ = rect; }
  void AttachSession(FrontEndSession* session) { session_ = session; }
  // kDestroy, then the deletion of every item.
  void Destroy();

 private:
  int template_id_;
  bool resizable_;
  FeedprobeHostWindow* parent_;
  DialogProcedure procedure_;
  std::string caption_;
  std::vector<std::unique_ptr<Control>> controls_;
  PixelRect window_;
  bool ended_ = false;
  std::atomic<bool> close_requested_{false};
  int end_code_ = 0;
  bool destroyed_ = false;
  FrontEndSession* session_ = nullptr;
};

// Runs the dialog modally over the parent window; the code given to EndDialog, or 0 when it
// cannot be shown.
int RunDialog(const DialogTemplate& dialog_template, FeedprobeHostWindow* parent,
              const DialogProcedure& procedure, intptr_t parameter);

// A message box with the text, the caption and an OK button. The terminal shows it and waits
// for OK; a script run writes it to the debugger output and goes on; with none it does
// nothing.
void ShowMessageBox(FeedprobeHostWindow* parent, const std::string& text,
                    const std::string& caption);

// Sends a message synchronously to the root owner of the window, the host's window record;
// a null window (or one without the marker or callback) receives nothing and gives 0.
intptr_t SendToRootOwner(FeedprobeHostWindow* window, uint32_t message, uintptr_t wparam,
                         intptr_t lparam);

}  // namespace platform::ui
