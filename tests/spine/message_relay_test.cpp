// The progress window's message relay: handled on its own thread, in arrival order, with
// QRX_SendMessage returning the handler's result and unknown windows answered with 0.
#include "platform/message_relay.h"

#include <qrx/plugin_boundary.h>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qrx {
namespace {

TEST(MessageRelay, MessagesArriveInOrderOnTheRelayThread) {
  std::mutex lock;
  std::vector<intptr_t> seen;
  std::thread::id handlerThread;
  platform::MessageRelay relay([&](unsigned message, uintptr_t wparam, intptr_t lparam) {
    std::lock_guard<std::mutex> g(lock);
    handlerThread = std::this_thread::get_id();
    seen.push_back(lparam);
    return static_cast<intptr_t>(message + wparam);
  });
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) EXPECT_EQ(QRX_PostMessage(relay.Window(), QRX_MSG_PROGRESS_2, 0, i), 1);
  });
  poster.join();
  // A send waits behind everything posted before it and returns the handler's result.
  EXPECT_EQ(QRX_SendMessage(relay.Window(), QRX_MSG_PROGRESS_0, 5, 100), QRX_MSG_PROGRESS_0 + 5);
  std::lock_guard<std::mutex> g(lock);
  ASSERT_EQ(seen.size(), 101u);
  for (int i = 0; i <= 100; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_NE(handlerThread, std::this_thread::get_id());
}

TEST(MessageRelay, UnknownWindowsAreAnsweredWithZero) {
  int notAWindow = 0;
  EXPECT_EQ(QRX_SendMessage(&notAWindow, QRX_MSG_PROGRESS_1, 1, 2), 0);
  EXPECT_EQ(QRX_SendMessage(nullptr, QRX_MSG_PROGRESS_1, 1, 2), 0);
  EXPECT_EQ(QRX_PostMessage(nullptr, QRX_MSG_PROGRESS_1, 1, 2), 1);
  auto relay = std::make_unique<platform::MessageRelay>(
      [](unsigned, uintptr_t, intptr_t) { return intptr_t{9}; });
  void *volatile window = relay->Window(); // kept opaque: only compared after the reset
  EXPECT_EQ(QRX_SendMessage(window, 0, 0, 0), 9);
  relay.reset();
  // The handle of a destroyed window is only compared, never followed.
  EXPECT_EQ(QRX_SendMessage(window, 0, 0, 0), 0);
}

} // namespace
} // namespace qrx
