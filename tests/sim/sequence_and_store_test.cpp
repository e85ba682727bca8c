// The sequence format as qrx-run reads it (its errors are run_errors_test.sh's), the
// host tools' view of the exports, and the device memory the simulated plug-ins and test
// libraries share (the simulated libraries themselves run end to end in line_test.sh).
#include "state_folder.h"

#include "common/call_dispatcher.h"
#include "common/export_catalogue_view.h"
#include "qrx-run/sequence_parser.h"
#include "../../sim/common/identity_store.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

using qrx::tools::SequenceParser;
using qrx::tools::SequenceStep;

namespace {

TEST(SequenceFormat, ReadsCallsExpectationsAndDirectives) {
  std::string error;
  auto seq = SequenceParser::ParseText(
      "# comment\n@product UFI\n@config U.xml\n\n"
      "  TxOBW_TDFT(1.6, -2)  \n"
      "ReadSN(out=\"a\\\"b\", 0) = any\n"
      "ClosePort() != 0\n"
      "Check_TestInfo(-5) = -1\n"
      "@wait-download\n@sleep 20\n@echo hello {station}\n",
      "x.seq", &error);
  ASSERT_TRUE(seq) << error;
  EXPECT_EQ(seq->product, "UFI");
  EXPECT_EQ(seq->config, "U.xml");
  ASSERT_EQ(seq->steps.size(), 7u);
  EXPECT_EQ(seq->steps[0].line, 5);
  EXPECT_EQ(seq->steps[0].args[0].real, 1.6);
  EXPECT_EQ(seq->steps[0].args[1].real, -2);
  EXPECT_EQ(seq->steps[0].expect, SequenceStep::Expect::kEqual);
  EXPECT_EQ(seq->steps[0].expected, 0);
  EXPECT_TRUE(seq->steps[1].args[0].expectText);
  EXPECT_EQ(seq->steps[1].args[0].text, "a\"b");
  EXPECT_EQ(seq->steps[1].expect, SequenceStep::Expect::kAny);
  EXPECT_EQ(seq->steps[2].expect, SequenceStep::Expect::kNotEqual);
  EXPECT_EQ(seq->steps[3].args[0].integer, -5);
  EXPECT_EQ(seq->steps[3].expected, -1);
  EXPECT_EQ(seq->steps[4].number, 60);
  EXPECT_EQ(seq->steps[5].number, 20);
  EXPECT_EQ(seq->steps[6].text, "hello {station}");
}

TEST(SequenceFormat, ExpandsStationPlaceholders) {
  EXPECT_EQ(SequenceParser::Expand("SN{station}-{index}-{x}", 3, 2), "SN3-2-{x}");
}

TEST(HostTools, EveryExportHasOneRowAndACallSignature) {
  const auto &rows = qrx::tools::ExportCatalogueView::Rows();
  std::set<std::string> names;
  for (const auto &row : rows) {
    EXPECT_TRUE(names.insert(row.name).second) << row.name;
    EXPECT_TRUE(qrx::tools::CallDispatcher::Supports(row.CallSignature())) << row.name;
    if (!qrx::tools::ExportCatalogueView::LibraryOfService(row.service).empty()) {
      EXPECT_FALSE(row.libraryFunction.empty()) << row.name;
    }
  }
}

using DeviceStore = qrx::simtest::StateFolder;

TEST_F(DeviceStore, KeepsValuesAcrossObjectsAndRefusesLineBreaks) {
  qrx::sim::IdentityStore a(2);
  EXPECT_FALSE(a.Get("SN"));
  EXPECT_TRUE(a.Set("SN", "X=1 y"));
  EXPECT_EQ(qrx::sim::IdentityStore(2).GetOr("SN", ""), "X=1 y");
  EXPECT_FALSE(qrx::sim::IdentityStore(3).Get("SN"));
  EXPECT_FALSE(a.Set("SN", "two\nlines"));
  EXPECT_FALSE(a.Set("K=", "v"));
  EXPECT_EQ(a.GetOr("SN", ""), "X=1 y");
  EXPECT_TRUE(a.SetFlag(19, '1'));
  EXPECT_FALSE(a.SetFlag(20, '1'));
  EXPECT_EQ(a.Flags(), "00000000000000000001");
}

TEST_F(DeviceStore, ConcurrentStationsLoseNoValue) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      qrx::sim::IdentityStore device(0);
      for (int i = 0; i < 25; ++i) device.Set("K" + std::to_string(t) + "_" + std::to_string(i), "v");
    });
  for (auto &t : threads) t.join();
  qrx::sim::IdentityStore device(0);
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 25; ++i)
      EXPECT_TRUE(device.Get("K" + std::to_string(t) + "_" + std::to_string(i))) << t << " " << i;
}

} // namespace
