// Operator messages and the serial-number prompt as real windows: MessageBoxW and a modal
// dialog built from an in-memory template, unless the host installed its own handlers.
#include "platform/operator_ui.h"

#include "interface/export_macros.h"
#include "platform/code_page.h"

#include <qrx/host_ui.h>

#include <windows.h>

#include <mutex>
#include <vector>

namespace qrx::platform {
namespace {

std::mutex g_handlerMutex;
QRXMessageBoxFn g_messageBox = nullptr;
void *g_messageBoxContext = nullptr;
QRXSerialPromptFn g_serialPrompt = nullptr;
void *g_serialPromptContext = nullptr;

constexpr size_t kPromptBufferSize = 4096;

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

// A window of this process that the operator is working in: the owner of modal windows.
HWND HostWindow() {
  HWND w = ::GetForegroundWindow();
  DWORD pid = 0;
  if (w) ::GetWindowThreadProcessId(w, &pid);
  return w && pid == ::GetCurrentProcessId() ? w : nullptr;
}

int MatchTrampoline(void *matcher, const char *text) {
  if (!matcher || !text) return 0;
  const auto &fn = *static_cast<const std::function<bool(const char *)> *>(matcher);
  return fn(text) ? 1 : 0;
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

void ShowMessageBox(const char *caption, const std::string &text) {
  const char *cap = caption ? caption : kApplicationCaption;
  NotifyMessageBoxListener(cap, text);
  QRXMessageBoxFn fn;
  void *ctx;
  {
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    fn = g_messageBox;
    ctx = g_messageBoxContext;
  }
  if (fn) {
    fn(ctx, cap, text.c_str());
    return;
  }
  // Texts are in the ANSI code page the library works in, which need not be the system's.
  ::MessageBoxW(nullptr, Wide(AnsiCodePage(), text).c_str(), Wide(AnsiCodePage(), cap).c_str(),
                MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

bool PromptSerialNumber(const std::string &pattern,
                        const std::function<bool(const char *)> &matches, std::string *text,
                        void *owner) {
  if (!text) return false;
  QRXSerialPromptFn fn;
  void *ctx;
  {
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    fn = g_serialPrompt;
    ctx = g_serialPromptContext;
  }
  if (!fn) return DialogPrompt(matches, text, static_cast<HWND>(owner));
  std::vector<char> buf(kPromptBufferSize, '\0');
  auto matcher = matches;
  int r = fn(ctx, pattern.c_str(), &MatchTrampoline, &matcher, buf.data(), buf.size());
  if (r != 1) return false;
  buf.back() = '\0'; // a handler that filled the whole buffer still gives a bounded text
  if (!matches(buf.data())) return false;
  *text = buf.data();
  return true;
}

} // namespace qrx::platform

QRX_EXPORT int QRX_SetMessageBoxHandler(QRXMessageBoxFn fn, void *context) {
  std::lock_guard<std::mutex> lock(qrx::platform::g_handlerMutex);
  qrx::platform::g_messageBox = fn;
  qrx::platform::g_messageBoxContext = fn ? context : nullptr;
  return 0;
}

QRX_EXPORT int QRX_SetSerialPromptHandler(QRXSerialPromptFn fn, void *context) {
  std::lock_guard<std::mutex> lock(qrx::platform::g_handlerMutex);
  qrx::platform::g_serialPrompt = fn;
  qrx::platform::g_serialPromptContext = fn ? context : nullptr;
  return 0;
}
