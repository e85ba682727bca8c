// Registration and removal of observers while the station's thread logs (run under TSan).
#include "recording_observer.h"
#include "services/qrx_log_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace qrx {
namespace {

// Counts lines and notices a call after its removal returned (which would mean the host
// could already have destroyed it).
class WatchedObserver : public ILogObserver {
public:
  void OnLog(int, std::string line) override {
    if (removed.load()) calledAfterRemoval.store(true);
    if (line.size() != expectedSize) badLine.store(true);
    lines.fetch_add(1);
  }
  std::atomic<bool> removed{false};
  std::atomic<bool> calledAfterRemoval{false};
  std::atomic<bool> badLine{false};
  std::atomic<int> lines{0};
  std::size_t expectedSize = 0;
};

TEST(LogThreads, HostRegistersAndRemovesWhileTheStationLogs) {
  CQRXLogService log;
  test::RecordingObserver steady;
  log.AddObserver(&steady);
  std::atomic<bool> stop{false};
  const std::string item = "Sens";
  const std::size_t lineSize = test::ItemLine(item, "-108.50", "-100.00", "-120.00", "PASS").size();

  std::thread station([&] {
    while (!stop.load()) log.LogTestItem("s", item, -108.5, -100.0, -120.0, 1, 0);
  });
  int rounds = 0;
  for (; rounds < 300; ++rounds) {
    WatchedObserver guest;
    guest.expectedSize = lineSize;
    log.AddObserver(&guest);
    log.AddObserver(&guest);
    while (guest.lines.load() == 0 && rounds % 3 == 0) std::this_thread::yield();
    log.RemoveObserver(&guest);
    guest.removed.store(true);
    EXPECT_FALSE(guest.badLine.load());
    std::this_thread::yield();
    EXPECT_FALSE(guest.calledAfterRemoval.load()) << "round " << rounds;
  }
  stop.store(true);
  station.join();
  ASSERT_FALSE(steady.heard.empty());
  for (const auto &heard : steady.heard) {
    ASSERT_EQ(heard.level, 16);
    ASSERT_EQ(heard.line.size(), lineSize);
  }
}

} // namespace
} // namespace qrx
