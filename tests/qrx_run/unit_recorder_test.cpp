// The record of one unit as qrx-run fills it, and the identity pools' states it drives:
// reserved at first use, written after a successful write, verified after a matching read-back.
#include "qrx-run/unit_recorder.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

using qrx::store::IdentityRecord;
using qrx::store::TestItemRecord;
using qrx::store::UnitRecord;
using qrx::store::UnitVerdict;
using qrx::tools::UnitRecorder;

// Pools held in memory with the states the store keeps, so the tests see what the recorder
// asked for and in which order.
class MemoryPools : public qrx::store::IdentitySource {
public:
  bool Reserve(const std::string &unit, const std::string &kind, std::string *value,
               std::string *error) override {
    calls.push_back("reserve " + kind);
    auto &queue = free[kind];
    if (queue.empty()) return *error = "pool " + kind + " is empty", false;
    *value = queue.front();
    queue.erase(queue.begin());
    if (state[*value] == "verified") return true; // a pool holding a spent value: caught later
    state[*value] = "reserved";
    owner[*value] = unit;
    return true;
  }
  bool MarkWritten(const std::string &, const std::string &kind, const std::string &value,
                   std::string *) override {
    calls.push_back("written " + kind + " " + value);
    state[value] = "written";
    return true;
  }
  bool MarkVerified(const std::string &, const std::string &kind, const std::string &value,
                    std::string *) override {
    calls.push_back("verified " + kind + " " + value);
    state[value] = "verified";
    return true;
  }
  bool MayProgram(const std::string &unit, const std::string &, const std::string &value,
                  std::string *error) override {
    if (state[value] == "verified" && owner[value] != unit)
      return *error = value + " is verified on another unit", false;
    return true;
  }
  void EndUnit(const std::string &unit, bool passed) override {
    calls.push_back(std::string("end ") + (passed ? "pass" : "fail"));
    for (auto &[value, s] : state)
      if (owner[value] == unit && s == "reserved") s = "free";
      else if (owner[value] == unit && s == "written" && !passed) s = "burned";
  }
  std::map<std::string, std::vector<std::string>> free;
  std::map<std::string, std::string> state, owner;
  std::vector<std::string> calls;
};

class RecordingSink : public qrx::store::UnitSink {
public:
  void BeginUnit(const UnitRecord &header) override { begun.push_back(header); }
  void EndUnit(const UnitRecord &unit) override { ended.push_back(unit); }
  std::string Problem() const override { return problem; }
  std::vector<UnitRecord> begun, ended;
  std::string problem;
};

UnitRecord Header() {
  UnitRecord h;
  h.productType = "QRX";
  h.stationIndex = 2;
  h.threadIndex = 1;
  h.sequenceFile = "line.seq";
  return h;
}

TestItemRecord Item(const std::string &name, bool passed) {
  TestItemRecord item;
  item.name = name;
  item.passed = passed;
  return item;
}

TEST(UnitRecorder, PoolIdentityIsReservedOnceWrittenThenVerifiedAndTheRecordIsWhole) {
  MemoryPools pools;
  pools.free["imei"] = {"490154203237518", "490154203237526"};
  RecordingSink sink;
  UnitRecorder unit({&sink}, &pools);
  unit.Begin(Header());
  ASSERT_EQ(sink.begun.size(), 1u);
  EXPECT_EQ(sink.begun[0].verdict, UnitVerdict::Incomplete);
  EXPECT_TRUE(std::regex_match(sink.begun[0].unitId,
      std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")));

  unit.AddItem(Item("before", true)); // outside any step
  unit.BeginStep("GSM_NST_MeasPower");
  unit.AddItem(Item("TxPower", true));
  unit.EndStep(0, true, "1, 62, 5", "");

  std::string value, again, error;
  unit.BeginStep("WriteIMEI");
  ASSERT_TRUE(unit.PoolValue("imei", &value, &error)) << error;
  ASSERT_TRUE(unit.PoolValue("imei", &again, &error));
  EXPECT_EQ(value, "490154203237518");
  EXPECT_EQ(again, value);
  ASSERT_TRUE(unit.Identity("imei", true, value, 0, &error));
  unit.EndStep(0, true, "\"490154203237518\", 0", "");
  unit.BeginStep("ReadIMEI");
  ASSERT_TRUE(unit.Identity("imei", false, value, 0, &error));
  unit.EndStep(0, true, "out=\"490154203237518\", 0", "");
  unit.BeginStep("WriteSN");
  unit.Identity("sn", true, "SN0001", 0, &error);
  unit.EndStep(0, true, "\"SN0001\", 0", "");

  const UnitRecord &r = unit.End();
  EXPECT_EQ(pools.calls, (std::vector<std::string>{"reserve imei", "written imei 490154203237518",
                                                    "verified imei 490154203237518", "end pass"}));
  EXPECT_EQ(r.verdict, UnitVerdict::Pass);
  EXPECT_EQ(r.firstFailingStep, -1);
  EXPECT_EQ(r.serialNumber, "SN0001");
  EXPECT_GE(r.endedUs, r.startedUs);
  ASSERT_EQ(r.steps.size(), 4u);
  EXPECT_EQ(r.steps[0].arguments, "1, 62, 5");
  ASSERT_EQ(r.items.size(), 2u);
  EXPECT_EQ(r.items[0].stepIndex, -1);
  EXPECT_EQ(r.items[1].stepIndex, 0);
  ASSERT_EQ(r.identities.size(), 3u);
  EXPECT_TRUE(r.identities[0].fromPool);
  EXPECT_EQ(r.identities[0].action, "written");
  EXPECT_EQ(r.identities[1].action, "read");
  EXPECT_EQ(r.identities[1].stepIndex, 2);
  EXPECT_FALSE(r.identities[2].fromPool);
  ASSERT_EQ(sink.ended.size(), 1u);
  EXPECT_EQ(sink.ended[0].unitId, sink.begun[0].unitId);
  EXPECT_EQ(sink.ended[0].items.size(), 2u);

  // The next unit gets its own id and its own value.
  unit.Begin(Header());
  ASSERT_TRUE(unit.PoolValue("imei", &value, &error));
  EXPECT_EQ(value, "490154203237526");
  EXPECT_NE(unit.Record().unitId, sink.ended[0].unitId);
  EXPECT_TRUE(unit.Record().identities.empty());
}

TEST(UnitRecorder, FailedUnitsAndFailedExportsDoNotAdvanceTheIdentityStates) {
  MemoryPools pools;
  pools.free["mac"] = {"00:1A:2B:00:00:01"};
  pools.free["sn"] = {"SN1", "SN2"};
  UnitRecorder unit({}, &pools);
  unit.Begin(Header());
  std::string mac, sn, error;
  unit.BeginStep("WriteMAC");
  ASSERT_TRUE(unit.PoolValue("mac", &mac, &error));
  ASSERT_TRUE(unit.Identity("mac", true, mac, 1, &error)); // the write failed
  unit.EndStep(1, false, "\"00:1A:2B:00:00:01\"", "WriteMAC: 1");
  unit.BeginStep("ReadSN");
  ASSERT_TRUE(unit.PoolValue("sn", &sn, &error));
  // A read-back of a value this unit never wrote verifies nothing.
  ASSERT_TRUE(unit.Identity("sn", false, sn, 0, &error));
  unit.EndStep(0, true, "out", "");
  unit.Prompted("BARCODE7"); // the operator's answer wins over an SN read
  unit.BeginStep("Later");
  unit.EndStep(3, false, "", "later failure");
  const UnitRecord &r = unit.End();
  EXPECT_EQ(pools.calls, (std::vector<std::string>{"reserve mac", "reserve sn", "end fail"}));
  EXPECT_EQ(pools.state[mac], "free");
  EXPECT_EQ(r.verdict, UnitVerdict::Fail);
  EXPECT_EQ(r.firstFailingStep, 0);
  EXPECT_EQ(r.failureReason, "WriteMAC: 1");
  EXPECT_EQ(r.serialNumber, "BARCODE7");
}

TEST(UnitRecorder, RefusedOrMissingIdentitiesAreErrorsNotValues) {
  MemoryPools pools;
  pools.free["imei"] = {"490154203237518"};
  pools.state["490154203237518"] = "verified";
  pools.owner["490154203237518"] = "another unit";
  UnitRecorder unit({}, &pools);
  unit.Begin(Header());
  std::string value, error;
  EXPECT_FALSE(unit.PoolValue("imei", &value, &error));
  EXPECT_NE(error.find("verified on another unit"), std::string::npos);
  error.clear();
  EXPECT_FALSE(unit.PoolValue("imei", &value, &error)); // nothing cached after a refusal
  EXPECT_NE(error.find("empty"), std::string::npos);
  EXPECT_FALSE(unit.MayWrite("imei", "490154203237518", &error));
  EXPECT_FALSE(unit.ReservedValue("imei", &value));

  // A store that cannot take records stops programming, even of a value nobody else has.
  RecordingSink failing;
  failing.problem = "database or disk is full";
  UnitRecorder blocked({&failing}, nullptr);
  blocked.Begin(Header());
  error.clear();
  EXPECT_FALSE(blocked.MayWrite("sn", "X", &error));
  EXPECT_NE(error.find("database or disk is full"), std::string::npos) << error;
  failing.problem.clear();
  EXPECT_TRUE(blocked.MayWrite("sn", "X", &error));

  UnitRecorder storeless({}, nullptr);
  storeless.Begin(Header());
  error.clear();
  EXPECT_FALSE(storeless.PoolValue("sn", &value, &error));
  EXPECT_NE(error.find("no results store"), std::string::npos);
  EXPECT_TRUE(storeless.MayWrite("sn", "X", &error));
  EXPECT_TRUE(storeless.Identity("sn", true, "X", 0, &error));
}

TEST(UnitRecorder, UnitIdsAreDistinctVersion4Uuids) {
  std::set<std::string> ids;
  for (int i = 0; i < 2000; ++i) ids.insert(UnitRecorder::NewUnitId());
  EXPECT_EQ(ids.size(), 2000u);
  for (const std::string &id : ids) {
    ASSERT_EQ(id.size(), 36u);
    ASSERT_EQ(id[14], '4');
    ASSERT_NE(std::string("89ab").find(id[19]), std::string::npos);
  }
}

} // namespace
