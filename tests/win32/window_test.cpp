// The operator windows as an operator meets them: the serial-number dialog driven through
// window messages from another thread, and the library's message box found and closed.
#include "interface/qrx_export_service.h"
#include "platform/message_relay.h"
#include "platform/operator_ui.h"
#include "sn/test_runner_sn_dlg.h"

#include <gtest/gtest.h>

#include "../support/station_folder.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <cwchar>
#include <functional>
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

void Click(HWND dialog, int button) { ::SendMessageW(::GetDlgItem(dialog, button), BM_CLICK, 0, 0); }

// Runs the dialog while `operate` acts on it as the operator from another thread; the
// dialog's result, or -1 when it never appeared.
int Operate(CTestRunnerSnDlg &dialog, const std::function<void(HWND)> &operate) {
  std::atomic<bool> found{false};
  std::thread operatorThread([&] {
    if (HWND w = FindOwnWindow(kDialogCaption)) {
      found = true;
      operate(w);
    }
  });
  const int result = dialog.DoModal();
  operatorThread.join();
  return found ? result : -1;
}

TEST(SerialNumberWindow, OkFollowsTheTypedTextAndReturnsItAsTyped) {
  std::vector<bool> okStates;
  CTestRunnerSnDlg dialog("^SN[0-9]{6}$", nullptr);
  const int result = Operate(dialog, [&](HWND w) {
    HWND edit = ::GetDlgItem(w, kEditId);
    auto okEnabled = [&] { okStates.push_back(::IsWindowEnabled(::GetDlgItem(w, IDOK)) != 0); };
    okEnabled();
    for (const wchar_t *typed : {L"SN12", L"3456", L"7", L"\b"}) {
      Type(edit, typed);
      okEnabled();
    }
    // Set QRX_SCREENSHOT_PAUSE_MS to hold the filled-in dialog on screen for a screenshot.
    if (const char *ms = std::getenv("QRX_SCREENSHOT_PAUSE_MS"))
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms)));
    Click(w, IDOK);
  });
  // Empty, partial, full, too long, full again after a backspace.
  EXPECT_EQ(okStates, std::vector<bool>({false, false, true, false, true}));
  EXPECT_EQ(result, CTestRunnerSnDlg::kIdOk);
  EXPECT_EQ(dialog.Text(), "SN123456");
}

// Modal to the host's window and centred on it; Enter on a non-matching text does not end it,
// Cancel does.
TEST(SerialNumberWindow, IsModalToTheHostsWindowAndEndsOnlyOnAMatchOrCancel) {
  HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 60,
                                600, 400, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(host, nullptr);
  std::atomic<bool> owned{false}, hostDisabled{false}, stillOpen{false};
  RECT h{}, d{};
  CTestRunnerSnDlg dialog("^[0-9]+$", host);
  const int result = Operate(dialog, [&](HWND w) {
    owned = ::GetWindow(w, GW_OWNER) == host;
    hostDisabled = !::IsWindowEnabled(host);
    ::GetWindowRect(host, &h);
    ::GetWindowRect(w, &d);
    Type(::GetDlgItem(w, kEditId), L"abc");
    ::SendMessageW(w, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    stillOpen = ::IsWindow(w) && ::IsWindowVisible(w);
    Click(w, IDCANCEL);
  });
  ::DestroyWindow(host);
  EXPECT_TRUE(owned);
  EXPECT_TRUE(hostDisabled); // modal: the host waits for the operator
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(result, CTestRunnerSnDlg::kIdCancel);
  EXPECT_EQ(dialog.Text(), "");
  EXPECT_NEAR((d.left + d.right) / 2, (h.left + h.right) / 2, 1);
  EXPECT_NEAR((d.top + d.bottom) / 2, (h.top + h.bottom) / 2, 1);
}

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

// The library's caption and text until OK; a test library that fails to load shows the
// loader's code. Another thread closes each box of this process as it appears, noting its
// caption and text (the box's only static control with text).
TEST(MessageBoxWindow, ShowsTheLibraryCaptionAndTextAndTheLoadersCodeUntilOk) {
  test::TempFolder folder("boxes");
  std::filesystem::create_directory(folder.Root() / "TestDll");
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(folder.Root());
  using Box = std::pair<std::wstring, std::wstring>;
  std::vector<Box> seen;
  std::atomic<bool> stop{false};
  std::thread closer([&] {
    while (!stop) {
      for (HWND box = nullptr; (box = ::FindWindowExW(nullptr, box, L"#32770", nullptr));) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(box, &pid);
        if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(box)) continue;
        wchar_t caption[256] = {}, text[256] = {}, child[256] = {};
        ::GetWindowTextW(box, caption, 256);
        for (HWND c = nullptr; (c = ::FindWindowExW(box, c, L"Static", nullptr));)
          if (::GetWindowTextW(c, child, 256) > 0) std::wcscpy(text, child);
        seen.emplace_back(caption, text);
        ::SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  });
  platform::ShowMessageBox(nullptr, "Load BusinessCfg failed");
  CQRXGsmFtService absent(nullptr);
  const int missing = absent.Load();
  folder.Write("TestDll\\GsmFt.dll", "not a program");
  CQRXGsmFtService broken(nullptr);
  const int invalid = broken.Load();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  stop = true;
  closer.join();
  std::filesystem::current_path(old);
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(invalid, 0);
  for (const Box &box : {Box(L"QRXInterface", L"Load BusinessCfg failed"),
                         Box(L"Load QRX GSM FT service Fail", L"126"),
                         Box(L"Load QRX GSM FT service Fail", L"193")})
    EXPECT_NE(std::count(seen.begin(), seen.end(), box), 0) << seen.size() << " boxes seen";
}

} // namespace
} // namespace qrx
