// The identities of a station's unit and the pool states they drive, from reserved to verified.
#include "qrx-run/station_unit.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {
using qrx::tools::StationUnit;

// Pools in memory with the states the store keeps, and the calls in the order they came.
class MemoryPools : public qrx::store::IdentitySource {
public:
  bool Reserve(const std::string &unit, const std::string &kind, std::string *value, std::string *error) override {
    calls.push_back("reserve " + kind);
    if (free[kind].empty()) return *error = "pool " + kind + " is empty", false;
    *value = free[kind].front();
    free[kind].erase(free[kind].begin());
    if (state[*value] != "verified") state[*value] = "reserved", owner[*value] = unit;
    return true;
  }
  bool MarkWritten(const std::string &, const std::string &kind, const std::string &value, std::string *) override {
    return calls.push_back("written " + kind + " " + value), state[value] = "written", true;
  }
  bool MarkVerified(const std::string &, const std::string &kind, const std::string &value, std::string *) override {
    return calls.push_back("verified " + kind + " " + value), state[value] = "verified", true;
  }
  bool MayProgram(const std::string &unit, const std::string &, const std::string &value, std::string *error) override {
    return state[value] == "verified" && owner[value] != unit ? (*error = value + " is verified on another unit", false)
                                                               : true;
  }
  void EndUnit(const std::string &unit, bool passed) override {
    calls.push_back(std::string("end ") + (passed ? "pass" : "fail"));
    for (auto &[value, s] : state)
      if (owner[value] == unit && (s == "reserved" || (s == "written" && !passed))) s = s == "reserved" ? "free" : "burned";
  }
  std::map<std::string, std::vector<std::string>> free;
  std::map<std::string, std::string> state, owner;
  std::vector<std::string> calls;
};

TEST(StationUnit, PoolValuesFollowTheUnitsExportsAndVerdict) {
  struct Case {
    const char *name;
    bool writeOk, readBack, passed;
    std::vector<std::string> calls;
    const char *finalState;
  } cases[] = {
      {"written, read back, passed", true, true, true,
       {"reserve imei", "written imei I1", "verified imei I1", "end pass"}, "verified"},
      {"written, failed later", true, false, false,
       {"reserve imei", "written imei I1", "end fail"}, "burned"},
      {"the write failed", false, true, false, {"reserve imei", "end fail"}, "free"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    MemoryPools pools;
    pools.free["imei"] = {"I1", "I2"};
    StationUnit unit(&pools, {});
    unit.Begin("unit-1", "");
    std::string value, again, error;
    ASSERT_TRUE(unit.PoolValue("imei", &value, &error)) << error;
    ASSERT_TRUE(unit.PoolValue("imei", &again, &error) && again == value) << "once per unit";
    EXPECT_EQ(pools.owner[value], "unit-1") << "reserved under the journal's unit id";
    ASSERT_TRUE(unit.Identity("imei", true, value, c.writeOk ? 0 : 1, &error));
    EXPECT_TRUE(!c.readBack || unit.Identity("imei", false, value, 0, &error));
    unit.End(c.passed);
    EXPECT_EQ(pools.calls, c.calls);
    EXPECT_EQ(pools.state["I1"], c.finalState);
    unit.Begin("", ""); // no journal: an id of its own, and the next value
    EXPECT_TRUE(unit.PoolValue("imei", &value, &error) && value == "I2" && unit.Id().size() == 36u);
  }
}

TEST(StationUnit, SerialAndRefusalsComeWithReasons) {
  MemoryPools pools;
  pools.free["imei"] = {"I1"};
  pools.state["I1"] = "verified", pools.owner["I1"] = "another unit";
  std::string problem, value, error;
  StationUnit unit(&pools, [&] { return problem; });
  unit.Begin("u", "");
  EXPECT_FALSE(unit.PoolValue("imei", &value, &error));
  EXPECT_NE(error.find("verified on another unit"), std::string::npos) << error;
  EXPECT_FALSE(unit.PoolValue("imei", &value, &error) || unit.ReservedValue("imei", &value)) << "nothing kept";
  // A unit whose record cannot be kept gets nothing programmed.
  problem = "database or disk is full";
  EXPECT_FALSE(unit.MayWrite("sn", "X", &error));
  EXPECT_NE(error.find(problem), std::string::npos) << error;
  problem.clear();
  EXPECT_TRUE(unit.MayWrite("sn", "X", &error));
  // The serial number: the operator's barcode, else the first SN written or read.
  unit.Identity("sn", false, "READ-1", 0, &error);
  unit.Prompted("BARCODE-7");
  EXPECT_EQ(unit.Serial(), "BARCODE-7");
  unit.Begin("v", "");
  unit.Prompted("BARCODE-8");
  unit.Identity("sn", true, "WRITTEN-2", 0, &error);
  EXPECT_EQ(unit.Serial(), "BARCODE-8");
  StationUnit storeless(nullptr, {});
  EXPECT_FALSE(storeless.PoolValue("sn", &value, &error));
  EXPECT_NE(error.find("no results store"), std::string::npos);
}

} // namespace
