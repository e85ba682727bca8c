// Common.xml may change while a station runs: the next export call honours the change, with
// the station's staging-name cache on or off, and one call stages and unstages under the same
// names even when the file changes during it.
#include "export_fixture.h"

#include "platform/file_system.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace qrx::test {
namespace {

class StagingNamesFile : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override {
    ASSERT_TRUE(s.Up());
    s.Hub()->StagingNames().SetEnabled(GetParam());
  }
  ExportStation s;
};

// Renames QCal/Band to a name of the same length, rewriting Common.xml in place with its
// modification time moved by `seconds` (0: put back as it was), and checks that the next call
// stages under the new name only.
// `names` is what the file holds, and is updated to what it holds afterwards.
void ExpectSameSizeRewriteHonoured(ExportStation &s, StagingNames &names, int seconds, char mark) {
  const std::string band = names.at({"QCal", "Band"});
  s.ClearRecord();
  s.Tell("Recorder.Watch", band + "\n");
  EXPECT_EQ(GSM_NST_MeasPower(900, 62, 5), 0);
  EXPECT_EQ(s.Record().saw, (std::map<std::string, std::string>{{band, "900"}}));

  std::string renamed = band;
  renamed[2] = mark; // same length, so the file keeps its size
  names[{"QCal", "Band"}] = renamed;
  const auto path = s.Deployment().CommonPath();
  const auto size = std::filesystem::file_size(path);
  const auto time = std::filesystem::last_write_time(path);
  s.Deployment().RewriteCommonInPlace(names, seconds);
  ASSERT_EQ(std::filesystem::file_size(path), size);
  if (seconds == 0) {
    ASSERT_EQ(std::filesystem::last_write_time(path), time);
  }

  s.ClearRecord();
  s.Tell("Recorder.Watch", renamed + "\n" + band + "\n");
  EXPECT_EQ(GSM_NST_MeasPower(1800, 512, 0), 0);
  EXPECT_EQ(s.Record().saw, (std::map<std::string, std::string>{{renamed, "1800"}}))
      << "the old name is no longer staged";
  EXPECT_FALSE(s.HasParameter(renamed));
}

// Waits until the file's last change lies further back than the clock that stamps files can
// blur, so the stamp alone has to tell the next change.
void WaitUntilStampAged(const std::filesystem::path &path) {
  for (int i = 0; i < 100 && platform::FileChangedRecently(platform::StatFile(path.string())); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_FALSE(platform::FileChangedRecently(platform::StatFile(path.string())));
}

// A same-size rewrite with another time; then `cp -p` or `touch -r` over the file: same inode,
// same size, the old modification time. Each starts from a stamp that alone tells changes.
TEST_P(StagingNamesFile, SameSizeRewriteIsHonouredWhateverItsTime) {
  StagingNames names = s.Names();
  WaitUntilStampAged(s.Deployment().CommonPath());
  ExpectSameSizeRewriteHonoured(s, names, -10, 'W');
  WaitUntilStampAged(s.Deployment().CommonPath());
  ExpectSameSizeRewriteHonoured(s, names, 0, 'X');
  // Again at once: now the rewrites may fall within one tick of the clock that stamps files,
  // where the stamp alone cannot tell them apart.
  ExpectSameSizeRewriteHonoured(s, names, 0, 'Y');
  ExpectSameSizeRewriteHonoured(s, names, 0, 'Z');
}

TEST_P(StagingNamesFile, ReplacedOrRemovedFileIsHonoured) {
  EXPECT_EQ(GSM_NST_MeasPower(900, 62, 5), 0);
  StagingNames names = s.Names();
  names.erase({"QCal", "PALevel"});
  s.WriteCommon(names);
  EXPECT_EQ(GSM_NST_MeasPower(900, 62, 5), 1) << "the new file lacks PALevel";
  s.WriteCommon(s.Names());
  EXPECT_EQ(GSM_NST_MeasPower(900, 62, 5), 0);
  std::filesystem::remove(s.Deployment().CommonPath());
  s.ClearRecord();
  EXPECT_EQ(GSM_NST_MeasPower(900, 62, 5), 1);
  EXPECT_EQ(s.Record().calls, 0);
  EXPECT_EQ(Init_TestInterface(), 0) << "plain exports need no staging names";
  s.WriteCommon(s.Names());
  EXPECT_EQ(GSM_NST_MeasPower(900, 62, 5), 0);
}

// The library replaces Common.xml during the call, moving "Band" to another name, and the
// host's observer of its test item re-enters a staged export after such a change: the entry
// staged under the old name is still the one erased.
// (The uncached path reads the file for every unstaging, so only the cache promises this.)
TEST(StagingNameCache, OneCallUnstagesUnderTheNamesItStagedWith) {
  ExportStation s;
  ASSERT_TRUE(s.Up());
  s.Hub()->StagingNames().SetEnabled(true);
  const std::string band = s.Names().at({"QCal", "Band"});
  StagingNames moved = s.Names();
  moved[{"QCal", "Band"}] = "moved_band";
  s.Tell("Recorder.RewritePath", s.Deployment().CommonPath().string());
  s.Tell("Recorder.RewriteText", CommonXml(moved));
  struct ReenteringObserver : ILogObserver {
    void OnLog(int, std::string) override {
      if (calls++ > 0) return;
      station->WriteCommon(names);
      GSM_NST_MeasPower(1800, 1, 2);
    }
    ExportStation *station;
    StagingNames names;
    int calls = 0;
  } observer;
  observer.station = &s;
  observer.names = moved;
  ASSERT_EQ(RegisterObserver(&observer), 0);
  s.Tell("Recorder.LogItem", "Reenter");
  EXPECT_EQ(GSM_NST_MeasPower(900, 62, 5), 0);
  EXPECT_EQ(observer.calls, 2) << "the inner call logged too";
  UnRegisterObserver(&observer);
  s.Forget("Recorder.LogItem");
  EXPECT_EQ(s.Record().saw.at(band), "900");
  EXPECT_FALSE(s.HasParameter(band)) << "unstaged under the name it was staged with";
  EXPECT_FALSE(s.HasParameter("moved_band"));
  s.Forget("Recorder.RewritePath");
  s.ClearRecord();
  s.Tell("Recorder.Watch", "moved_band\n");
  EXPECT_EQ(GSM_NST_MeasPower(1800, 1, 2), 0);
  EXPECT_EQ(s.Record().saw.at("moved_band"), "1800") << "the next call uses the new name";
}

INSTANTIATE_TEST_SUITE_P(Cache, StagingNamesFile, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) {
                           return std::string(info.param ? "Cached" : "Uncached");
                         });

} // namespace
} // namespace qrx::test
