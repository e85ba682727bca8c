// The queue between station threads and the store's writer: order across retries, a full queue
// makes stations wait instead of dropping records, closing drains it.
#include "queued_unit_sink.h"
#include "unit_samples.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

using namespace qrx::store;

namespace {

// A store that refuses writes while closed, and keeps what it takes in order.
class GateStore final : public UnitStoreWriter {
public:
  bool Write(const UnitOperation &operation) override {
    std::lock_guard lock(mutex);
    if (!open) {
      error = "the store is closed";
      return false;
    }
    error.clear();
    written.push_back(std::string(operation.whole ? "end " : "begin ") + operation.unit.unitId);
    return true;
  }
  std::string LastError() const override {
    std::lock_guard lock(mutex);
    return error;
  }
  void Open() {
    std::lock_guard lock(mutex);
    open = true;
  }
  std::vector<std::string> Written() const {
    std::lock_guard lock(mutex);
    return written;
  }

  mutable std::mutex mutex;
  bool open = false;
  std::string error;
  std::vector<std::string> written;
};

UnitRecord Unit(int n) {
  UnitRecord u;
  u.unitId = "u" + std::to_string(n);
  return u;
}

} // namespace

TEST(QueuedUnitSink, RefusedWritesWaitInOrderAndAFullQueueHoldsTheStation) {
  auto owned = std::make_unique<GateStore>();
  GateStore *store = owned.get();
  std::mutex mutex;
  std::vector<std::string> messages;
  QueuedUnitSink sink(std::move(owned), [&](const std::string &m) {
    std::lock_guard lock(mutex);
    messages.push_back(m);
  }, 4);
  for (int i = 0; i < 2; ++i) {
    sink.BeginUnit(Unit(i));
    sink.EndUnit(Unit(i));
  }
  EXPECT_FALSE(sink.Flush(std::chrono::milliseconds(300)));
  EXPECT_EQ(sink.LastError(), "the store is closed");
  EXPECT_EQ(sink.Pending(), 4u);

  // The queue is full: the next record waits for room rather than being dropped.
  std::atomic<bool> returned{false};
  std::thread station([&] {
    sink.BeginUnit(Unit(2));
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(returned);
  store->Open();
  station.join();
  EXPECT_TRUE(sink.Flush(std::chrono::seconds(10)));
  EXPECT_EQ(sink.LastError(), "");
  EXPECT_EQ(store->Written(), (std::vector<std::string>{"begin u0", "end u0", "begin u1",
                                                        "end u1", "begin u2"}));
  std::lock_guard lock(mutex);
  ASSERT_GE(messages.size(), 3u);
  EXPECT_NE(messages[0].find("units wait in memory"), std::string::npos) << messages[0];
  EXPECT_NE(messages[1].find("stations wait for it"), std::string::npos) << messages[1];
  EXPECT_NE(messages.back().find("takes units again"), std::string::npos) << messages.back();
}

TEST(QueuedUnitSink, ClosingGivesUpOnAStoreThatNeverTakesAndSaysHowManyWereLost) {
  std::vector<std::string> messages;
  std::mutex mutex;
  {
    QueuedUnitSink sink(std::make_unique<GateStore>(), [&](const std::string &m) {
      std::lock_guard lock(mutex);
      messages.push_back(m);
    });
    sink.BeginUnit(Unit(1));
    sink.EndUnit(Unit(1));
  }
  std::lock_guard lock(mutex);
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.back().find("2 unit operations were not recorded"), std::string::npos)
      << messages.back();
}
