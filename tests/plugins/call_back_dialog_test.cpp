// The progress window: message-to-event mapping, arrival order across threads, the callback
// installed last receiving every later message.
#include "sn/call_back_dialog.h"

#include <qrx/plugin_boundary.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace qrx {
namespace {

struct Seen {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<QRXDownloadEvent> events;
  std::vector<std::thread::id> threads;
  std::vector<int> who;

  void Add(int callback, QRXDownloadEvent e) {
    std::lock_guard<std::mutex> hold(lock);
    events.push_back(e);
    threads.push_back(std::this_thread::get_id());
    who.push_back(callback);
    changed.notify_all();
  }
  bool WaitFor(size_t n) {
    std::unique_lock<std::mutex> hold(lock);
    return changed.wait_for(hold, std::chrono::seconds(10), [&] { return events.size() >= n; });
  }
};
Seen *g_seen = nullptr;
int32_t QRX_CALLBACK CallbackA(QRXDownloadEvent e) {
  g_seen->Add(1, e);
  return 100 + e.kind;
}
int32_t QRX_CALLBACK CallbackB(QRXDownloadEvent e) {
  g_seen->Add(2, e);
  return 200 + e.kind;
}

class CallBackDialogTest : public ::testing::Test {
protected:
  void SetUp() override { g_seen = &seen; }
  void TearDown() override { g_seen = nullptr; }
  Seen seen;
};

TEST(CallBackDialogEvents, EachMessageFillsItsKindsFields) {
  QRXDownloadEvent e;
  ASSERT_TRUE(CCallBackDialog::EventFor(0x464, 5, 6, &e));
  EXPECT_EQ(e.kind, 0);
  EXPECT_EQ(e.value1, 6);
  EXPECT_EQ(e.value3, 5);
  ASSERT_TRUE(CCallBackDialog::EventFor(0x465, 7, 9, &e));
  EXPECT_EQ(e.kind, 1);
  EXPECT_EQ(e.value1, 7);
  EXPECT_EQ(e.value4, 9);
  ASSERT_TRUE(CCallBackDialog::EventFor(0x466, 3, 4, &e));
  EXPECT_EQ(e.kind, 2);
  EXPECT_EQ(e.value1, 4);
  ASSERT_TRUE(CCallBackDialog::EventFor(0x467, 0, 8, &e));
  EXPECT_EQ(e.kind, 3);
  EXPECT_EQ(e.value1, 8);
  EXPECT_EQ(e.value5, 1);
  ASSERT_TRUE(CCallBackDialog::EventFor(0x467, 2, 8, &e));
  EXPECT_EQ(e.value5, 0);
  ASSERT_TRUE(CCallBackDialog::EventFor(0x468, 12, -3, &e));
  EXPECT_EQ(e.kind, 4);
  EXPECT_EQ(e.value1, -3);
  EXPECT_EQ(e.value2, 12);
  EXPECT_FALSE(CCallBackDialog::EventFor(0x463, 0, 0, &e));
  EXPECT_FALSE(CCallBackDialog::EventFor(0x469, 0, 0, &e));
}

TEST_F(CallBackDialogTest, WithoutCallbackMessagesAreAnsweredZero) {
  CCallBackDialog dialog(nullptr);
  EXPECT_EQ(QRX_SendMessage(dialog.Window(), 0x464, 1, 2), 0);
  dialog.SetCallback(&CallbackA);
  EXPECT_EQ(QRX_SendMessage(dialog.Window(), 0x468, 1, 2), 104);
  // Other messages reach no callback.
  EXPECT_EQ(QRX_SendMessage(dialog.Window(), 0x10, 1, 2), 0);
  EXPECT_EQ(seen.events.size(), 1u);
}

TEST_F(CallBackDialogTest, PostedMessagesArriveInOrderOnTheWindowsThread) {
  CCallBackDialog dialog(nullptr);
  dialog.SetCallback(&CallbackA);
  constexpr int kMessages = 200;
  std::thread plugin([&] {
    for (int i = 0; i < kMessages; ++i) QRX_PostMessage(dialog.Window(), 0x465, i, i * 2);
  });
  plugin.join();
  ASSERT_TRUE(seen.WaitFor(kMessages));
  std::lock_guard<std::mutex> hold(seen.lock);
  for (int i = 0; i < kMessages; ++i) {
    EXPECT_EQ(seen.events[i].value1, i);
    EXPECT_EQ(seen.events[i].value4, i * 2);
  }
  EXPECT_NE(seen.threads[0], std::this_thread::get_id());
  EXPECT_NE(seen.threads[0], plugin.get_id());
  for (auto id : seen.threads) EXPECT_EQ(id, seen.threads[0]);
}

TEST_F(CallBackDialogTest, CallbackInstalledLastReceivesEveryLaterMessage) {
  CCallBackDialog dialog(nullptr);
  dialog.SetCallback(&CallbackA);
  EXPECT_EQ(QRX_SendMessage(dialog.Window(), 0x466, 0, 1), 102);
  dialog.SetCallback(&CallbackB);
  for (int i = 0; i < 5; ++i) QRX_PostMessage(dialog.Window(), 0x466, 0, i);
  ASSERT_TRUE(seen.WaitFor(6));
  std::lock_guard<std::mutex> hold(seen.lock);
  EXPECT_EQ(seen.who, (std::vector<int>{1, 2, 2, 2, 2, 2}));
}

} // namespace
} // namespace qrx
