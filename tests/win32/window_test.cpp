// The operator windows as an operator meets them: the serial-number dialog driven through
// window messages from another thread, and the library's message box found and closed.
#include "interface/qrx_export_service.h"
#include "platform/file_system.h"
#include "platform/message_relay.h"
#include "platform/operator_ui.h"
#include "sn/test_runner_sn_dlg.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace qrx {
namespace {

constexpr wchar_t kDialogCaption[] = L"\u6761\u7801"; // "条码"
constexpr int kEditId = 21027;

// Waits (bounded) for a top-level window of this process with the caption.
HWND FindOwnWindow(const wchar_t *caption) {
  for (int i = 0; i < 400; ++i) {
    HWND w = ::FindWindowW(L"#32770", caption);
    DWORD pid = 0;
    if (w) ::GetWindowThreadProcessId(w, &pid);
    if (w && pid == ::GetCurrentProcessId() && ::IsWindowVisible(w)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return nullptr;
}

void Type(HWND edit, const wchar_t *text) {
  for (const wchar_t *c = text; *c; ++c) ::SendMessageW(edit, WM_CHAR, *c, 1);
}

void Backspace(HWND edit) { ::SendMessageW(edit, WM_CHAR, VK_BACK, 1); }

// Set QRX_SCREENSHOT_PAUSE_MS to hold the filled-in dialog on screen for a screenshot.
void PauseForScreenshot() {
  if (const char *ms = std::getenv("QRX_SCREENSHOT_PAUSE_MS"))
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms)));
}

TEST(SerialNumberWindow, OkFollowsTheTypedTextAndReturnsItAsTyped) {
  std::atomic<bool> okAtStart{true}, okPartial{true}, okFull{false}, okTooLong{true}, okAgain{false};
  std::atomic<bool> found{false};
  std::thread operatorThread([&] {
    HWND dialog = FindOwnWindow(kDialogCaption);
    if (!dialog) return;
    found = true;
    HWND edit = ::GetDlgItem(dialog, kEditId);
    HWND ok = ::GetDlgItem(dialog, IDOK);
    okAtStart = ::IsWindowEnabled(ok) != 0;
    Type(edit, L"SN12");
    okPartial = ::IsWindowEnabled(ok) != 0;
    Type(edit, L"3456");
    okFull = ::IsWindowEnabled(ok) != 0;
    Type(edit, L"7");
    okTooLong = ::IsWindowEnabled(ok) != 0;
    Backspace(edit);
    okAgain = ::IsWindowEnabled(ok) != 0;
    PauseForScreenshot();
    ::SendMessageW(ok, BM_CLICK, 0, 0);
  });
  CTestRunnerSnDlg dialog("^SN[0-9]{6}$", nullptr);
  const int result = dialog.DoModal();
  operatorThread.join();
  ASSERT_TRUE(found) << "the dialog did not appear";
  EXPECT_FALSE(okAtStart);
  EXPECT_FALSE(okPartial);
  EXPECT_TRUE(okFull);
  EXPECT_FALSE(okTooLong);
  EXPECT_TRUE(okAgain);
  EXPECT_EQ(result, CTestRunnerSnDlg::kIdOk);
  EXPECT_EQ(dialog.Text(), "SN123456");
}

TEST(SerialNumberWindow, EnterOnANonMatchingTextDoesNotEndItAndCancelDoes) {
  std::atomic<bool> stillOpen{false}, found{false};
  std::thread operatorThread([&] {
    HWND dialog = FindOwnWindow(kDialogCaption);
    if (!dialog) return;
    found = true;
    HWND edit = ::GetDlgItem(dialog, kEditId);
    Type(edit, L"abc");
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    stillOpen = ::IsWindow(dialog) && ::IsWindowVisible(dialog);
    ::SendMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  });
  CTestRunnerSnDlg dialog("^[0-9]+$", nullptr);
  const int result = dialog.DoModal();
  operatorThread.join();
  ASSERT_TRUE(found);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(result, CTestRunnerSnDlg::kIdCancel);
  EXPECT_EQ(dialog.Text(), "");
}

TEST(SerialNumberWindow, IsModalToTheHostsWindowAndCentredOnIt) {
  HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 60,
                                600, 400, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(host, nullptr);
  std::atomic<bool> found{false}, owned{false}, hostDisabled{false};
  RECT h{}, d{};
  std::thread operatorThread([&] {
    HWND dialog = FindOwnWindow(kDialogCaption);
    if (!dialog) return;
    found = true;
    owned = ::GetWindow(dialog, GW_OWNER) == host;
    hostDisabled = !::IsWindowEnabled(host);
    ::GetWindowRect(host, &h);
    ::GetWindowRect(dialog, &d);
    ::SendMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  });
  CTestRunnerSnDlg dialog("^x$", host);
  const int result = dialog.DoModal();
  operatorThread.join();
  ::DestroyWindow(host);
  ASSERT_TRUE(found);
  EXPECT_TRUE(owned);
  EXPECT_TRUE(hostDisabled); // modal: the host waits for the operator
  EXPECT_EQ(result, CTestRunnerSnDlg::kIdCancel);
  EXPECT_NEAR((d.left + d.right) / 2, (h.left + h.right) / 2, 1);
  EXPECT_NEAR((d.top + d.bottom) / 2, (h.top + h.bottom) / 2, 1);
}

TEST(MessageBoxWindow, ShowsTheLibraryCaptionAndTextUntilOk) {
  std::atomic<bool> found{false};
  std::wstring text;
  std::thread operatorThread([&] {
    HWND box = FindOwnWindow(L"QRXInterface");
    if (!box) return;
    found = true;
    // The text is the box's only static control with text.
    HWND child = nullptr;
    while ((child = ::FindWindowExW(box, child, L"Static", nullptr))) {
      wchar_t buf[256] = {};
      ::GetWindowTextW(child, buf, 256);
      if (buf[0]) text = buf;
    }
    ::SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  platform::ShowMessageBox(nullptr, "Load BusinessCfg failed");
  operatorThread.join();
  ASSERT_TRUE(found) << "no message box with the library's caption";
  EXPECT_EQ(text, L"Load BusinessCfg failed");
}

// Closes every dialog-class window of this process as it appears, noting caption and text,
// until stopped.
class BoxCloser {
public:
  BoxCloser() : thread_([this] { Run(); }) {}
  ~BoxCloser() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::vector<std::pair<std::wstring, std::wstring>> Seen() {
    std::lock_guard<std::mutex> g(lock_);
    return seen_;
  }

private:
  static BOOL CALLBACK Visit(HWND w, LPARAM self) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    wchar_t cls[16] = {};
    ::GetClassNameW(w, cls, 16);
    if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(w) && std::wstring(cls) == L"#32770")
      reinterpret_cast<BoxCloser *>(self)->Close(w);
    return TRUE;
  }
  void Close(HWND box) {
    wchar_t caption[256] = {};
    ::GetWindowTextW(box, caption, 256);
    std::wstring text;
    HWND child = nullptr;
    while ((child = ::FindWindowExW(box, child, L"Static", nullptr))) {
      wchar_t buf[256] = {};
      ::GetWindowTextW(child, buf, 256);
      if (buf[0]) text = buf;
    }
    {
      std::lock_guard<std::mutex> g(lock_);
      seen_.emplace_back(caption, text);
    }
    ::SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
  void Run() {
    while (!stop_) {
      ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(this));
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  }
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<std::pair<std::wstring, std::wstring>> seen_;
  std::thread thread_;
};

// A plug-in posts its progress and sends its last message while the window is still busy: the
// sent message must not overtake the posted ones, which the system would otherwise allow.
TEST(ProgressWindow, ASendNeverOvertakesWhatWasPostedBeforeIt) {
  std::mutex lock;
  std::vector<intptr_t> seen;
  platform::MessageRelay relay([&](unsigned, uintptr_t, intptr_t lparam) {
    if (lparam == 0) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::lock_guard<std::mutex> g(lock);
    seen.push_back(lparam);
    return lparam;
  });
  std::thread plugin([&] {
    HWND window = static_cast<HWND>(relay.Window());
    for (int i = 0; i < 50; ++i) ::PostMessageA(window, WM_USER + 0x65, 0, i);
    EXPECT_EQ(::SendMessageA(window, WM_USER + 0x67, 0, 50), 50);
  });
  plugin.join();
  std::lock_guard<std::mutex> g(lock);
  ASSERT_EQ(seen.size(), 51u);
  for (int i = 0; i <= 50; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], i);
}

bool SawBox(const std::vector<std::pair<std::wstring, std::wstring>> &seen,
            const std::wstring &caption, const std::wstring &text) {
  for (const auto &[c, t] : seen)
    if (c == caption && t == text) return true;
  return false;
}

TEST(MessageBoxWindow, TestLibraryLoadFailuresShowTheLoadersCode) {
  char base[MAX_PATH + 1] = {};
  ASSERT_GT(::GetTempPathA(sizeof base, base), 0u);
  const std::string dir = std::string(base) + "qrx-boxes-" + std::to_string(::GetCurrentProcessId());
  ::CreateDirectoryA(dir.c_str(), nullptr);
  ::CreateDirectoryA((dir + "\\TestDll").c_str(), nullptr);
  char old[MAX_PATH] = {};
  ::GetCurrentDirectoryA(sizeof old, old);
  ASSERT_TRUE(::SetCurrentDirectoryA(dir.c_str()));
  std::vector<std::pair<std::wstring, std::wstring>> seen;
  int missing = -1, invalid = -1;
  {
    BoxCloser closer;
    CQRXGsmFtService absent(nullptr);
    missing = absent.Load();
    std::string error;
    platform::ReplaceFileAtomically("TestDll\\GsmFt.dll", "not a program", &error);
    CQRXGsmFtService broken(nullptr);
    invalid = broken.Load();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    closer.Stop();
    seen = closer.Seen();
  }
  ::DeleteFileA("TestDll\\GsmFt.dll");
  ::SetCurrentDirectoryA(old);
  ::RemoveDirectoryA((dir + "\\TestDll").c_str());
  ::RemoveDirectoryA(dir.c_str());
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(invalid, 0);
  EXPECT_TRUE(SawBox(seen, L"Load QRX GSM FT service Fail", L"126"));
  EXPECT_TRUE(SawBox(seen, L"Load QRX GSM FT service Fail", L"193"));
}

} // namespace
} // namespace qrx
