// The Windows front end of the operator's messages and the serial-number prompt: MessageBoxW
// and a modal dialog built from an in-memory template.
#include "platform/operator_ui.h"

#include "platform/code_page.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace qrx::platform {
namespace {

// Control ids of the serial-number dialog.
constexpr int kEditId = 21027;
constexpr int kLabelId = 21028;

// The dialog's texts in code page 936: "条码", "请输入条码：", "确定", "取消", "宋体".
constexpr const char *kCaption936 = "\xCC\xF5\xC2\xEB";
constexpr const char *kLabel936 = "\xC7\xEB\xCA\xE4\xC8\xEB\xCC\xF5\xC2\xEB\xA3\xBA";
constexpr const char *kOk936 = "\xC8\xB7\xB6\xA8";
constexpr const char *kCancel936 = "\xC8\xA1\xCF\xFB";
constexpr const char *kFont936 = "\xCB\xCE\xCC\xE5";

std::wstring Wide(int codePage, std::string_view text) {
  std::u16string w;
  if (!MultiByteToWide(codePage, text, &w, nullptr)) return std::wstring(text.begin(), text.end());
  return std::wstring(w.begin(), w.end());
}

std::string Ansi(const std::wstring &text) {
  std::string out;
  WideToMultiByte(AnsiCodePage(), std::u16string(text.begin(), text.end()), &out, nullptr);
  return out;
}

// Threads showing one of our boxes or prompts right now: their windows are stations' dialogs,
// never an owner for another station's.
std::mutex g_uiThreadsMutex;
std::vector<DWORD> g_uiThreads;

bool ShowingOurWindow(DWORD thread) {
  std::lock_guard<std::mutex> lock(g_uiThreadsMutex);
  return std::find(g_uiThreads.begin(), g_uiThreads.end(), thread) != g_uiThreads.end();
}

class ShowingWindow {
public:
  ShowingWindow() {
    std::lock_guard<std::mutex> lock(g_uiThreadsMutex);
    g_uiThreads.push_back(::GetCurrentThreadId());
  }
  ~ShowingWindow() {
    std::lock_guard<std::mutex> lock(g_uiThreadsMutex);
    auto it = std::find(g_uiThreads.begin(), g_uiThreads.end(), ::GetCurrentThreadId());
    if (it != g_uiThreads.end()) g_uiThreads.erase(it);
  }
};

// The host's window the operator works in: the owner of modal windows. The window active on
// the calling thread first; else the top-level owner of this process's foreground window,
// unless that belongs to another station's box or prompt.
HWND HostWindow() {
  if (HWND active = ::GetActiveWindow()) return active;
  HWND w = ::GetForegroundWindow();
  DWORD pid = 0;
  if (!w || !::GetWindowThreadProcessId(w, &pid) || pid != ::GetCurrentProcessId()) return nullptr;
  HWND root = ::GetAncestor(w, GA_ROOTOWNER);
  if (!root) root = w;
  return ShowingOurWindow(::GetWindowThreadProcessId(root, nullptr)) ? nullptr : root;
}

// ---- in-memory dialog template --------------------------------------------------------------

class TemplateWriter {
public:
  void Word(WORD w) { bytes_.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Text(const std::wstring &s) {
    for (wchar_t c : s) Word(static_cast<WORD>(c));
    Word(0);
  }
  void AlignDword() {
    if (bytes_.size() % 2) Word(0);
  }
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
            const std::wstring &text) {
    AlignDword();
    Dword(style | WS_CHILD);
    Dword(0);
    Word(static_cast<WORD>(x));
    Word(static_cast<WORD>(y));
    Word(static_cast<WORD>(cx));
    Word(static_cast<WORD>(cy));
    Word(id);
    Word(0xFFFF);
    Word(atom);
    Text(text);
    Word(0); // no creation data
  }
  std::vector<WORD> Take() { return std::move(bytes_); }

private:
  std::vector<WORD> bytes_; // WORD-sized, so the start is DWORD-aligned by the allocator
};

constexpr WORD kButtonAtom = 0x0080, kEditAtom = 0x0081, kStaticAtom = 0x0082;

// The serial-number dialog: caption "条码", picture frame at the left, the label, an edit box,
// OK (enabled only while the text matches) and Cancel; 187 by 74 dialog units, SimSun 9 pt.
std::vector<WORD> SerialDialogTemplate() {
  TemplateWriter t;
  t.Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND | DS_SETFONT);
  t.Dword(WS_EX_TOOLWINDOW);
  t.Word(5); // controls
  t.Word(0);
  t.Word(0);
  t.Word(187);
  t.Word(74);
  t.Word(0); // no menu
  t.Word(0); // standard dialog class
  t.Text(Wide(936, kCaption936));
  t.Word(9);
  t.Text(Wide(936, kFont936));
  t.Item(WS_VISIBLE | SS_ETCHEDFRAME, 0, 1, 73, 73, 0xFFFF, kStaticAtom, L"");
  t.Item(WS_VISIBLE | WS_GROUP | SS_LEFT, 78, 12, 103, 12, kLabelId, kStaticAtom,
         Wide(936, kLabel936));
  t.Item(WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 78, 30, 103, 12, kEditId,
         kEditAtom, L"");
  t.Item(WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 78, 55, 50, 14, IDOK, kButtonAtom,
         Wide(936, kOk936));
  t.Item(WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 132, 55, 50, 14, IDCANCEL, kButtonAtom,
         Wide(936, kCancel936));
  return t.Take();
}

struct SerialDialogState {
  const std::function<bool(const char *)> *matches;
  std::string text;
};

std::wstring WindowText(HWND w) {
  int n = ::GetWindowTextLengthW(w);
  std::wstring text(static_cast<size_t>(n > 0 ? n : 0) + 1, L'\0');
  n = ::GetWindowTextW(w, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(n > 0 ? n : 0));
  return text;
}

INT_PTR CALLBACK SerialDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto *state = reinterpret_cast<SerialDialogState *>(::GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
  case WM_INITDIALOG: {
    ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    // Centred on the owner (the whole screen without one), keeping its size.
    HWND owner = ::GetWindow(dialog, GW_OWNER);
    RECT p{}, d{};
    if (!owner || !::GetWindowRect(owner, &p)) ::GetWindowRect(::GetDesktopWindow(), &p);
    ::GetWindowRect(dialog, &d);
    const int w = d.right - d.left, h = d.bottom - d.top;
    ::MoveWindow(dialog, p.left + ((p.right - p.left) - w) / 2,
                 p.top + ((p.bottom - p.top) - h) / 2, w, h, TRUE);
    HWND edit = ::GetDlgItem(dialog, kEditId);
    ::SendMessageW(edit, EM_LIMITTEXT, kPromptBufferSize - 1, 0);
    ::SetFocus(edit);
    ::EnableWindow(::GetDlgItem(dialog, IDOK), FALSE);
    return FALSE; // the focus is set
  }
  case WM_COMMAND: {
    const int id = LOWORD(wparam);
    if (id == kEditId && HIWORD(wparam) == EN_CHANGE && state) {
      const std::string text = Ansi(WindowText(::GetDlgItem(dialog, kEditId)));
      ::EnableWindow(::GetDlgItem(dialog, IDOK), (*state->matches)(text.c_str()) ? TRUE : FALSE);
      return TRUE;
    }
    if (id == IDOK && state) {
      // Enter in the edit box reaches here too: only a matching text ends the dialog.
      const std::string text = Ansi(WindowText(::GetDlgItem(dialog, kEditId)));
      if (!::IsWindowEnabled(::GetDlgItem(dialog, IDOK)) || !(*state->matches)(text.c_str()))
        return TRUE;
      state->text = text;
      ::EndDialog(dialog, IDOK);
      return TRUE;
    }
    if (id == IDCANCEL) {
      ::EndDialog(dialog, IDCANCEL);
      return TRUE;
    }
    break;
  }
  default:
    break;
  }
  return FALSE;
}

bool DialogPrompt(const std::function<bool(const char *)> &matches, std::string *text,
                  HWND owner) {
  // Modal to the host's window when it gave one, else to the window the operator works in.
  if (!owner || !::IsWindow(owner)) owner = HostWindow();
  ShowingWindow showing;
  const std::vector<WORD> dialogTemplate = SerialDialogTemplate();
  SerialDialogState state{&matches, {}};
  INT_PTR r = ::DialogBoxIndirectParamW(
      ::GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE *>(dialogTemplate.data()),
      owner, &SerialDialogProc, reinterpret_cast<LPARAM>(&state));
  if (r != IDOK) return false;
  *text = state.text;
  return true;
}

} // namespace

void system::DefaultMessageBox(const char *caption, const std::string &text) {
  // Texts are in the ANSI code page the library works in, which need not be the system's.
  // Modal to the host's window; without one, to the calling thread's windows.
  HWND owner = HostWindow();
  ShowingWindow showing;
  ::MessageBoxW(owner, Wide(AnsiCodePage(), text).c_str(), Wide(AnsiCodePage(), caption).c_str(),
                MB_OK | MB_SETFOREGROUND | (owner ? MB_APPLMODAL : MB_TASKMODAL));
}

bool system::DefaultSerialPrompt(const std::string &, const std::function<bool(const char *)> &matches,
                                 std::string *text, void *owner) {
  return DialogPrompt(matches, text, static_cast<HWND>(owner));
}

namespace {
HANDLE PromptMutex() {
  static const HANDLE mutex = ::CreateMutexA(nullptr, FALSE, nullptr);
  return mutex;
}
} // namespace

OperatorPromptLock::OperatorPromptLock() {
  // WAIT_ABANDONED: the last holder's thread ended holding it; the mutex is ours now.
  const DWORD r = PromptMutex() ? ::WaitForSingleObject(PromptMutex(), INFINITE) : WAIT_FAILED;
  held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

OperatorPromptLock::~OperatorPromptLock() {
  if (held_) ::ReleaseMutex(PromptMutex());
}

} // namespace qrx::platform
