// Detached helper programs: started without being waited for, not our children, output
// discarded, and a missing program reported.
#include "platform/process.h"

#include "../support/station_folder.h"

#include <gtest/gtest.h>

#include <thread>

namespace qrx::platform {
namespace {

TEST(StartDetached, ProgramRunsOnWithoutBeingOurChild) {
#ifdef _WIN32
  GTEST_SKIP() << "detaching from the parent is POSIX's; WinExec is checked in win32_platform";
#endif
  test::TempFolder folder("process");
  const std::filesystem::path &dir = folder.Root();
  const std::string script = (dir / "helper").string();
  const std::string pidFile = (dir / "pid").string();
  const std::string release = (dir / "release").string();
  const std::string done = (dir / "done").string();
  {
    std::ofstream out(script);
    // Reports its parent, then runs on until the test releases it (half a minute at most,
    // should the test never get there), and says when it is through.
    out << "#!/bin/sh\necho \"$PPID\" > '" << pidFile << ".tmp'\nmv '" << pidFile << ".tmp' '"
        << pidFile << "'\necho output-that-goes-nowhere\ni=0\n"
        << "while [ ! -e '" << release << "' ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n"
        << ": > '" << done << "'\n";
  }
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  // Whatever the test's outcome, the helper is released and has ended before its folder goes.
  struct Release {
    const std::string &release, &done;
    ~Release() {
      std::ofstream(release).put('x');
      for (int i = 0; i < 400 && !std::filesystem::exists(done); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
      EXPECT_TRUE(std::filesystem::exists(done)) << "the helper has ended";
    }
  };

  ASSERT_TRUE(StartDetached({script}));
  Release ending{release, done};
  for (int i = 0; i < 400 && !std::filesystem::exists(pidFile); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  // StartDetached returned while the program is still waiting for its release.
  EXPECT_FALSE(std::filesystem::exists(done));
  const std::string parent = test::ReadBytes(pidFile);
  ASSERT_FALSE(parent.empty());
  EXPECT_NE(std::stol(parent), static_cast<long>(CurrentProcessId()));
}

TEST(StartDetached, MissingProgramIsReported) {
  EXPECT_FALSE(StartDetached({"qrx-no-such-program-anywhere"}));
  EXPECT_FALSE(StartDetached({"/nonexistent/ip"}));
  EXPECT_FALSE(StartDetached({}));
}

} // namespace
} // namespace qrx::platform
