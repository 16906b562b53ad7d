// The terminal front-end: ncurses on /dev/tty, so the host's standard streams stay untouched.
//
// One cell is 6 × 13 pixels (4 × 8 dialog units). A dialog larger than the terminal is shown
// scaled down to fit; a resizable dialog is offered the whole terminal as its window, at the
// start and after each resize, through a sizing message, so that its procedure lays the
// controls out. Keys: Tab and Shift-Tab move the focus, arrows move in tree and list
// (Left/Right or -/+ collapse and expand), Space ticks or presses, Enter presses the focused
// or the default button, Esc cancels, F1 asks for help.
#include <fcntl.h>
#include <locale.h>
#include <ncursesw/curses.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/os/debug_output.h"
#include "platform/ui/dialog.h"
#include "platform/ui/front_end.h"

namespace platform::ui {

constexpr int kInputPollMs = 250;

namespace {

// --- UTF-8 text measured in code points (one cell each) ---

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t CodePoints(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return !IsContinuation(c); }));
}

// Byte offset of code point n (the size when the text is shorter).
std::size_t OffsetOf(const std::string& text, std::size_t n) {
  std::size_t offset = 0;
  for (std::size_t seen = 0; offset < text.size(); ++offset) {
    if (!IsContinuation(text[offset])) {
      if (seen == n) return offset;
      ++seen;
    }
  }
  return text.size();
}

std::string Slice(const std::string& text, std::size_t from, std::size_t count) {
  const std::size_t begin = OffsetOf(text, from);
  const std::size_t end = OffsetOf(text, from + count);
  return text.substr(begin, end - begin);
}

std::string EncodeUtf8(wchar_t wide) {
  const auto c = static_cast<uint32_t>(wide);
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// UTF-8 to wide characters without the locale's help; a broken sequence gives U+FFFD.
std::wstring DecodeUtf8(const std::string& text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    uint32_t c = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
    bool broken = extra < 0 || i + extra >= text.size() + (extra > 0 ? 0 : 1);
    for (int k = 1; !broken && k <= extra; ++k) {
      if (!IsContinuation(text[i + k])) broken = true;
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    if (broken) {
      out += L'\uFFFD';
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(c);
    i += 1 + extra;
  }
  return out;
}

// Word-wraps text into lines of at most width code points.
std::vector<std::string> Wrap(const std::string& text, int width) {
  std::vector<std::string> lines;
  if (width <= 0) return lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string paragraph = text.substr(start, end - start);
    if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
    do {
      if (CodePoints(paragraph) <= static_cast<std::size_t>(width)) {
        lines.push_back(paragraph);
        break;
      }
      std::string head = Slice(paragraph, 0, width);
      std::size_t cut = head.rfind(' ');
      if (cut == std::string::npos || cut == 0) cut = head.size();
      lines.push_back(paragraph.substr(0, cut));
      paragraph = paragraph.substr(cut < paragraph.size() && paragraph[cut] == ' ' ? cut + 1 : cut);
    } while (!paragraph.empty());
    start = end + 1;
  }
  return lines;
}

// --- The screen on /dev/tty ---

// The ncurses screen, shared by nested dialogs (a message box over a dialog). Everything
// done to it happens with the terminal mutex held, by one thread at a time.
class TerminalScreen {
 public:
  static std::unique_ptr<TerminalScreen> Open() {
    auto screen = std::unique_ptr<TerminalScreen>(new TerminalScreen());
    if (!screen->Start()) return nullptr;
    return screen;
  }
  ~TerminalScreen() {
    if (screen_ != nullptr) {
      endwin();
      delscreen(screen_);
    }
    if (tty_ != nullptr) std::fclose(tty_);
    for (const auto& [number, action] : saved_signals_) sigaction(number, &action, nullptr);
    if (locale_ != nullptr) {
      uselocale(previous_locale_);
      freelocale(locale_);
    }
  }
  TerminalScreen(const TerminalScreen&) = delete;
  TerminalScreen& operator=(const TerminalScreen&) = delete;

 private:
  TerminalScreen() = default;

  bool Start() {
    tty_ = std::fopen("/dev/tty", "r+e");
    if (tty_ == nullptr) return false;
    // ncurses installs handlers for these where none is set; the host gets its own back.
    for (int number : {SIGINT, SIGQUIT, SIGTERM, SIGTSTP, SIGWINCH}) {
      struct sigaction action {};
      if (sigaction(number, nullptr, &action) == 0) saved_signals_.emplace_back(number, action);
    }
    // Characters are UTF-8 on this thread while the dialog is shown; the process-wide
    // locale is left alone.
    locale_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (locale_ != nullptr) previous_locale_ = uselocale(locale_);
    const char* term = std::getenv("TERM");
    screen_ = newterm(term != nullptr && term[0] != '\0' ? nullptr : "vt100", tty_, tty_);
    if (screen_ == nullptr) return false;
    set_term(screen_);
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    // Input is read with a time-out, so that a close asked from another thread is seen.
    wtimeout(stdscr, kInputPollMs);
    set_escdelay(25);
    return true;
  }

  std::FILE* tty_ = nullptr;
  SCREEN* screen_ = nullptr;
  locale_t locale_ = nullptr;
  locale_t previous_locale_ = nullptr;
  std::vector<std::pair<int, struct sigaction>> saved_signals_;
};

std::recursive_mutex& TerminalMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

// The open screen and the number of sessions on it; guarded by the terminal mutex.
std::unique_ptr<TerminalScreen> g_screen;
int g_screen_users = 0;

struct CellRect {
  int x = 0, y = 0, width = 0, height = 0;
};

class TerminalSession : public FrontEndSession {
 public:
  explicit TerminalSession(std::unique_lock<std::recursive_mutex> lock) : lock_(std::move(lock)) {}
  ~TerminalSession() override {
    if (--g_screen_users == 0) g_screen.reset();
  }

  void Attach(Dialog& dialog) override { Place(dialog); }

  void Update(Dialog& dialog) override { Draw(dialog); }

  void Run(Dialog& dialog) override {
    FitToTerminal(dialog);
    focus_ = NextFocus(dialog, -1, +1);
    int failures = 0;
    while (!dialog.ended()) {
      if (dialog.close_requested()) {
        dialog.Abandon();
        break;
      }
      Draw(dialog);
      wint_t key = 0;
      auto asked = std::chrono::steady_clock::now();
      const int kind = wget_wch(stdscr, &key);
      if (kind == ERR) {
        // Only a read that fails before its time-out counts: the terminal has gone away, so
        // give up as Esc would.
        if (std::chrono::steady_clock::now() - asked >= std::chrono::milliseconds(kInputPollMs / 2)) {
          failures = 0;
          continue;
        }
        if (++failures > 100) {
          platform::DebugOutput("feedprobe ui: the terminal gives no input; dialog cancelled\n");
          dialog.Abandon();
        }
        continue;
      }
      failures = 0;
      if (kind == KEY_CODE_YES) {
        HandleKey(dialog, static_cast<int>(key));
      } else {
        HandleCharacter(dialog, static_cast<wchar_t>(key));
      }
    }
  }

 private:
  // --- Geometry ---

  // Scale factors of the client area: 1 when the window fits the terminal.
  void Scales(const Dialog& dialog, double* sx, double* sy) const {
    const PixelRect client = dialog.ClientRect();
    const int cols = std::max(COLS - 2, 1), rows = std::max(LINES - 2, 1);
    *sx = client.width() > cols * kCharWidth ? double(cols * kCharWidth) / client.width() : 1.0;
    *sy = client.height() > rows * kCharHeight ? double(rows * kCharHeight) / client.height() : 1.0;
  }

  CellRect Box(const Dialog& dialog) const {
    double sx, sy;
    Scales(dialog, &sx, &sy);
    const PixelRect client = dialog.ClientRect();
    CellRect box;
    box.width = std::min(COLS, 2 + int(client.width() * sx / kCharWidth + 0.999));
    box.height = std::min(LINES, 2 + int(client.height() * sy / kCharHeight + 0.999));
    box.x = std::max(0, (COLS - box.width) / 2);
    box.y = std::max(0, (LINES - box.height) / 2);
    return box;
  }

  // Controls shown on one row: their text sits on the row of their vertical middle, as the
  // text of a taller edit or button does on a screen.
  static bool SingleRow(const Control& control) {
    return control.kind() == ControlKind::kPushButton ||
           (control.kind() == ControlKind::kEdit && !control.HasStyle(kStyleMultiLine)) ||
           (control.kind() == ControlKind::kStatic && !control.HasStyle(kStyleMultiLine));
  }

  CellRect Cells(const Dialog& dialog, const PixelRect& rect, bool single_row = false) const {
    double sx, sy;
    Scales(dialog, &sx, &sy);
    const CellRect box = Box(dialog);
    const int left = int(rect.left * sx / kCharWidth), right = int(rect.right * sx / kCharWidth);
    const int top = int(rect.top * sy / kCharHeight);
    const int bottom = int(rect.bottom * sy / kCharHeight);
    CellRect cells{box.x + 1 + left, box.y + 1 + top, std::max(1, right - left),
                   std::max(1, bottom - top)};
    if (single_row) {
      cells.y = box.y + 1 + int((rect.top + rect.bottom) / 2 * sy / kCharHeight);
      cells.height = 1;
    }
    // Clip to the box's inside.
    cells.width = std::min(cells.width, box.x + box.width - 1 - cells.x);
    cells.height = std::min(cells.height, box.y + box.height - 1 - cells.y);
    return cells;
  }

  // Centres the window in the terminal, its size unchanged.
  void Place(Dialog& dialog) {
    const CellRect box = Box(dialog);
    const PixelRect window = dialog.WindowRect();
    dialog.SetWindowRect(PixelRect{box.x * kCharWidth, box.y * kCharHeight,
                                   box.x * kCharWidth + window.width(),
                                   box.y * kCharHeight + window.height()});
  }

  // Offers a resizable dialog the whole terminal; its procedure decides what it takes.
  void FitToTerminal(Dialog& dialog) {
    if (dialog.resizable()) {
      const PixelRect terminal{0, 0, COLS * kCharWidth, LINES * kCharHeight};
      const PixelRect window = dialog.WindowRect();
      if (terminal.width() != window.width() || terminal.height() != window.height()) {
        dialog.ProposeSize(terminal);
      }
    }
    Place(dialog);
  }

  // --- Focus ---

  static bool Focusable(const Control& control) {
    if (!control.visible() || !control.enabled()) return false;
    switch (control.kind()) {
      case ControlKind::kTreeView:
      case ControlKind::kListView:
      case ControlKind::kPushButton:
        return true;
      case ControlKind::kEdit:
        return !control.HasStyle(kStyleReadOnly) || control.HasStyle(kStyleMultiLine);
      default:
        return false;
    }
  }

  static int NextFocus(const Dialog& dialog, int from, int step) {
    const int count = static_cast<int>(dialog.controls().size());
    for (int i = 1; i <= count; ++i) {
      const int at = ((from < 0 && step < 0 ? 0 : from) + step * i + count * (i + 1)) % count;
      if (Focusable(*dialog.controls()[at])) return at;
    }
    return -1;
  }

  Control* Focused(const Dialog& dialog) {
    if (focus_ >= 0 && focus_ < int(dialog.controls().size()) &&
        Focusable(*dialog.controls()[focus_])) {
      return dialog.controls()[focus_].get();
    }
    focus_ = NextFocus(dialog, focus_, +1);
    return focus_ < 0 ? nullptr : dialog.controls()[focus_].get();
  }

  // --- Input ---

  void HandleCharacter(Dialog& dialog, wchar_t c) {
    Control* focused = Focused(dialog);
    switch (c) {
      case L'\t':
        focus_ = NextFocus(dialog, focus_, +1);
        return;
      case 27:
        dialog.Cancel();
        return;
      case L'\r':
      case L'\n':
        if (focused != nullptr && focused->kind() == ControlKind::kPushButton) {
          dialog.PressButton(focused->id());
        } else {
          dialog.PressDefault();
        }
        return;
      default:
        break;
    }
    if (focused == nullptr) return;
    switch (focused->kind()) {
      case ControlKind::kPushButton:
        if (c == L' ') dialog.PressButton(focused->id());
        return;
      case ControlKind::kTreeView:
        if (c == L'+' || c == L'-' || c == L' ') {
          auto* tree = static_cast<TreeView*>(focused);
          const TreeItem item = tree->Selection();
          if (item != kNoTreeItem) {
            tree->Expand(item, c == L' ' ? !tree->IsExpanded(item) : c == L'+');
          }
        }
        return;
      case ControlKind::kListView:
        if (c == L' ') {
          auto* list = static_cast<ListView*>(focused);
          int index = list->NextSelected();
          if (index < 0 && list->ItemCount() > 0) {
            index = 0;
            list->SetItemState(0, kItemSelected | kItemFocused, kItemSelected | kItemFocused);
          }
          if (index >= 0 && list->HasCheckBoxes()) {
            const bool ticked = list->ItemState(index, kStateImageMask) == kStateTicked;
            list->SetItemState(index, ticked ? kStateUnticked : kStateTicked, kStateImageMask);
          }
        }
        return;
      case ControlKind::kEdit:
        if (c == 8 || c == 127) {
          EditBackspace(dialog, *focused);
        } else if (c >= 32 && !focused->HasStyle(kStyleReadOnly)) {
          std::size_t& cursor = Cursor(*focused);
          cursor = std::min(cursor, CodePoints(focused->text()));
          std::string text = focused->text();
          text.insert(OffsetOf(text, cursor), EncodeUtf8(c));
          ++cursor;
          dialog.TypeText(focused->id(), text);
        }
        return;
      default:
        return;
    }
  }

  // The edit's cursor in code points; it starts after the text.
  std::size_t& Cursor(const Control& edit) {
    return cursors_.try_emplace(&edit, CodePoints(edit.text())).first->second;
  }

  void EditBackspace(Dialog& dialog, Control& edit) {
    std::size_t& cursor = Cursor(edit);
    cursor = std::min(cursor, CodePoints(edit.text()));
    if (cursor == 0 || edit.HasStyle(kStyleReadOnly)) return;
    std::string text = edit.text();
    const std::size_t begin = OffsetOf(text, cursor - 1);
    text.erase(begin, OffsetOf(text, cursor) - begin);
    --cursor;
    dialog.TypeText(edit.id(), text);
  }

  void HandleKey(Dialog& dialog, int key) {
    if (key == KEY_RESIZE) {
      FitToTerminal(dialog);
      return;
    }
    if (key == KEY_BTAB) {
      focus_ = NextFocus(dialog, focus_, -1);
      return;
    }
    if (key == KEY_F(1)) {
      Control* focused = Focused(dialog);
      dialog.RequestHelp(focused == nullptr ? 0 : focused->id());
      return;
    }
    if (key == KEY_ENTER) {
      HandleCharacter(dialog, L'\r');
      return;
    }
    Control* focused = Focused(dialog);
    if (focused == nullptr) return;
    const int page = std::max(1, Cells(dialog, focused->rect()).height - 2);
    switch (focused->kind()) {
      case ControlKind::kTreeView:
        TreeKey(*static_cast<TreeView*>(focused), key, page);
        return;
      case ControlKind::kListView:
        ListKey(*static_cast<ListView*>(focused), key, page);
        return;
      case ControlKind::kEdit:
        EditKey(dialog, *focused, key);
        return;
      case ControlKind::kPushButton:
        if (key == KEY_RIGHT || key == KEY_DOWN) focus_ = NextFocus(dialog, focus_, +1);
        if (key == KEY_LEFT || key == KEY_UP) focus_ = NextFocus(dialog, focus_, -1);
        return;
      default:
        return;
    }
  }

  // Moves a position in a list of last + 1 rows for the navigation keys; false for other keys.
  static bool MoveIndex(int key, int page, int last, int& at) {
    switch (key) {
      case KEY_UP:
        at = at < 0 ? 0 : std::max(0, at - 1);
        return true;
      case KEY_DOWN:
        at = at < 0 ? 0 : std::min(last, at + 1);
        return true;
      case KEY_PPAGE:
        at = std::max(0, at - page);
        return true;
      case KEY_NPAGE:
        at = std::min(last, std::max(0, at) + page);
        return true;
      case KEY_HOME:
        at = 0;
        return true;
      case KEY_END:
        at = last;
        return true;
      default:
        return false;
    }
  }

  static void TreeKey(TreeView& tree, int key, int page) {
    const auto visible = tree.VisibleItems();
    if (visible.empty()) return;
    int at = -1;
    for (std::size_t i = 0; i < visible.size(); ++i) {
      if (visible[i].first == tree.Selection()) at = static_cast<int>(i);
    }
    const int last = static_cast<int>(visible.size()) - 1;
    const TreeItem item = tree.Selection();
    if (MoveIndex(key, page, last, at)) {
      tree.Select(visible[at].first);
      return;
    }
    switch (key) {
      case KEY_LEFT:
        if (item == kNoTreeItem) return;
        if (tree.IsExpanded(item) && !tree.Children(item).empty()) {
          tree.Expand(item, false);
        } else if (tree.Parent(item) != kNoTreeItem) {
          tree.Select(tree.Parent(item));
        }
        return;
      case KEY_RIGHT:
        if (item == kNoTreeItem || tree.Children(item).empty()) return;
        if (!tree.IsExpanded(item)) {
          tree.Expand(item, true);
        } else {
          tree.Select(tree.FirstChild(item));
        }
        return;
      default:
        return;
    }
  }

  static void ListKey(ListView& list, int key, int page) {
    if (list.ItemCount() == 0) return;
    int at = list.NextSelected();
    const int last = list.ItemCount() - 1;
    if (!MoveIndex(key, page, last, at)) return;
    list.SetItemState(at, kItemSelected | kItemFocused, kItemSelected | kItemFocused);
  }

  void EditKey(Dialog& dialog, Control& edit, int key) {
    std::size_t& cursor = Cursor(edit);
    const std::size_t length = CodePoints(edit.text());
    cursor = std::min(cursor, length);
    if (edit.HasStyle(kStyleReadOnly)) {
      int& scroll = scrolls_[&edit];
      if (key == KEY_UP || key == KEY_PPAGE) scroll = std::max(0, scroll - 1);
      if (key == KEY_DOWN || key == KEY_NPAGE) ++scroll;  // bounded when drawn
      return;
    }
    switch (key) {
      case KEY_LEFT:
        if (cursor > 0) --cursor;
        return;
      case KEY_RIGHT:
        if (cursor < length) ++cursor;
        return;
      case KEY_HOME:
        cursor = 0;
        return;
      case KEY_END:
        cursor = length;
        return;
      case KEY_BACKSPACE:
        EditBackspace(dialog, edit);
        return;
      case KEY_DC:
        if (cursor < length) {
          std::string text = edit.text();
          const std::size_t begin = OffsetOf(text, cursor);
          text.erase(begin, OffsetOf(text, cursor + 1) - begin);
          dialog.TypeText(edit.id(), text);
        }
        return;
      default:
        return;
    }
  }

  // --- Drawing ---

  static void Put(int y, int x, const std::string& text, int width) {
    if (width <= 0 || y < 0 || y >= LINES) return;
    const std::wstring wide = DecodeUtf8(Slice(text, 0, static_cast<std::size_t>(width)));
    mvaddnwstr(y, x, wide.c_str(), static_cast<int>(wide.size()));
  }

  static void Frame(const CellRect& r, const std::string& caption) {
    if (r.width < 2 || r.height < 2) {
      Put(r.y, r.x, caption, r.width);
      return;
    }
    mvaddch(r.y, r.x, ACS_ULCORNER);
    mvhline(r.y, r.x + 1, ACS_HLINE, r.width - 2);
    mvaddch(r.y, r.x + r.width - 1, ACS_URCORNER);
    mvvline(r.y + 1, r.x, ACS_VLINE, r.height - 2);
    mvvline(r.y + 1, r.x + r.width - 1, ACS_VLINE, r.height - 2);
    mvaddch(r.y + r.height - 1, r.x, ACS_LLCORNER);
    mvhline(r.y + r.height - 1, r.x + 1, ACS_HLINE, r.width - 2);
    mvaddch(r.y + r.height - 1, r.x + r.width - 1, ACS_LRCORNER);
    if (!caption.empty() && r.width > 4) Put(r.y, r.x + 1, " " + caption + " ", r.width - 2);
  }

  // The inside of a framed control; the frame is drawn when there is room for one.
  static CellRect Inside(const CellRect& r, bool focused) {
    if (r.width < 4 || r.height < 3) return r;
    if (focused) attron(A_BOLD);
    Frame(r, "");
    if (focused) attroff(A_BOLD);
    return CellRect{r.x + 1, r.y + 1, r.width - 2, r.height - 2};
  }

  // Keeps the row at in view of height rows, scrolling as little as possible.
  static int Scrolled(int& scroll, int at, int height, int count) {
    if (at >= 0) {
      if (at < scroll) scroll = at;
      if (at >= scroll + height) scroll = at - height + 1;
    }
    scroll = std::max(0, std::min(scroll, std::max(0, count - height)));
    return scroll;
  }

  void Draw(Dialog& dialog) {
    erase();
    curs_set(0);
    const CellRect box = Box(dialog);
    Frame(box, dialog.caption());
    Control* focused = Focused(dialog);
    int cursor_y = -1, cursor_x = -1;
    // Frames first, so that what they enclose is drawn over them.
    for (int pass = 0; pass < 2; ++pass) {
      for (const auto& owned : dialog.controls()) {
        Control& control = *owned;
        if (!control.visible()) continue;
        if ((control.kind() == ControlKind::kGroupBox) != (pass == 0)) continue;
        const CellRect r = Cells(dialog, control.rect(), SingleRow(control));
        if (r.width <= 0 || r.height <= 0) continue;
        const bool has_focus = &control == focused;
        const int dim = control.enabled() ? 0 : A_DIM;
        attron(dim);
        switch (control.kind()) {
          case ControlKind::kGroupBox:
            Frame(r, control.text());
            break;
          case ControlKind::kStatic: {
            const auto lines = Wrap(StripMnemonic(control.text()), r.width);
            for (int i = 0; i < r.height && i < int(lines.size()); ++i) {
              Put(r.y + i, r.x, lines[i], r.width);
            }
            break;
          }
          case ControlKind::kPushButton: {
            const std::string label = "[ " + StripMnemonic(control.text()) + " ]";
            const int length = static_cast<int>(CodePoints(label));
            const int x = r.x + std::max(0, (r.width - length) / 2);
            int attributes = control.HasStyle(kStyleDefaultButton) ? A_BOLD : 0;
            if (has_focus) attributes |= A_REVERSE;
            attron(attributes);
            Put(r.y, x, label, r.width);
            attroff(attributes);
            break;
          }
          case ControlKind::kEdit:
            DrawEdit(control, r, has_focus, &cursor_y, &cursor_x);
            break;
          case ControlKind::kTreeView:
            DrawTree(static_cast<TreeView&>(control), r, has_focus);
            break;
          case ControlKind::kListView:
            DrawList(static_cast<ListView&>(control), r, has_focus);
            break;
        }
        attroff(dim);
      }
    }
    if (cursor_y >= 0) {
      move(cursor_y, cursor_x);
      curs_set(1);
    }
    refresh();
  }

  void DrawEdit(Control& edit, const CellRect& cells, bool focused, int* cursor_y, int* cursor_x) {
    if (edit.HasStyle(kStyleMultiLine)) {
      const CellRect r = Inside(cells, focused);
      const auto lines = Wrap(edit.text(), r.width);
      int& scroll = scrolls_[&edit];
      Scrolled(scroll, -1, r.height, static_cast<int>(lines.size()));
      for (int i = 0; i < r.height && scroll + i < int(lines.size()); ++i) {
        Put(r.y + i, r.x, lines[scroll + i], r.width);
      }
      return;
    }
    std::string shown = edit.text();
    if (edit.HasStyle(kStylePassword)) shown = std::string(CodePoints(shown), '*');
    std::size_t& cursor = Cursor(edit);
    cursor = std::min(cursor, CodePoints(shown));
    int& scroll = scrolls_[&edit];
    const int width = std::max(1, cells.width);
    Scrolled(scroll, static_cast<int>(cursor), width, static_cast<int>(CodePoints(shown)) + 1);
    attron(A_UNDERLINE);
    mvhline(cells.y, cells.x, ' ', width);
    Put(cells.y, cells.x, Slice(shown, scroll, width), width);
    attroff(A_UNDERLINE);
    if (focused) {
      *cursor_y = cells.y;
      *cursor_x = cells.x + static_cast<int>(cursor) - scroll;
    }
  }

  void DrawTree(TreeView& tree, const CellRect& cells, bool focused) {
    const CellRect r = Inside(cells, focused);
    const auto visible = tree.VisibleItems();
    int at = -1;
    for (std::size_t i = 0; i < visible.size(); ++i) {
      if (visible[i].first == tree.Selection()) at = static_cast<int>(i);
    }
    int& scroll = scrolls_[&tree];
    Scrolled(scroll, at, r.height, static_cast<int>(visible.size()));
    for (int row = 0; row < r.height && scroll + row < int(visible.size()); ++row) {
      const auto [item, depth] = visible[scroll + row];
      const char* marker = tree.Children(item).empty() ? "  " : tree.IsExpanded(item) ? "- " : "+ ";
      const std::string line = std::string(2 * depth, ' ') + marker + tree.ItemText(item);
      const bool selected = item == tree.Selection();
      if (selected) attron(A_REVERSE);
      Put(r.y + row, r.x, line, r.width);
      if (selected) attroff(A_REVERSE);
    }
  }

  void DrawList(ListView& list, const CellRect& cells, bool focused) {
    const CellRect r = Inside(cells, focused);
    int& scroll = scrolls_[&list];
    Scrolled(scroll, list.NextSelected(), r.height, list.ItemCount());
    for (int row = 0; row < r.height && scroll + row < list.ItemCount(); ++row) {
      const int index = scroll + row;
      const uint32_t image = list.ItemState(index, kStateImageMask);
      std::string line = image == kStateTicked ? "[x] " : image == kStateUnticked ? "[ ] " : "";
      line += list.ItemText(index);
      const bool selected = list.ItemState(index, kItemSelected) != 0;
      if (selected) attron(A_REVERSE);
      Put(r.y + row, r.x, line, r.width);
      if (selected) attroff(A_REVERSE);
    }
  }

  std::unique_lock<std::recursive_mutex> lock_;
  int focus_ = -1;
  std::map<const Control*, std::size_t> cursors_;  // edit cursor, in code points
  std::map<const Control*, int> scrolls_;          // first row or column shown
};

}  // namespace

bool TerminalAvailable() {
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

std::unique_ptr<FrontEndSession> OpenTerminalSession(const DialogTemplate& dialog_template) {
  std::unique_lock<std::recursive_mutex> lock(TerminalMutex());
  if (g_screen == nullptr) {
    g_screen = TerminalScreen::Open();
    if (g_screen == nullptr) {
      platform::DebugOutput("feedprobe ui: the terminal /dev/tty cannot be used; dialog " +
                            std::to_string(dialog_template.id) + " is not shown\n");
      return nullptr;
    }
  }
  ++g_screen_users;
  return std::make_unique<TerminalSession>(std::move(lock));
}

}  // namespace platform::ui
