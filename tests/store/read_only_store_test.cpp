// A results folder the host may not write: refused with a clear message. Needs POSIX file
// modes and an unprivileged user, so it runs on Linux only.
#include "store_factory.h"
#include "unit_samples.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qrx::store;
using qrx::testing::TempFolder;

TEST(UnitStoreBadInput, ReadOnlyFolderIsRefusedWithAClearMessage) {
  TempFolder folder;
  ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
  // Root writes everywhere: try as the unprivileged user, in a child process.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0)
      _exit(3);
    std::string error;
    const bool opened = OpenUnitSink("", folder.Path(), &error) != nullptr;
    const bool said = error.find("cannot create the results folder") != std::string::npos;
    std::string fileError;
    const bool fileOpened =
        OpenUnitSink("sqlite:" + folder.Path() + "/x.db", "", &fileError) != nullptr;
    const bool fileSaid = fileError.find("cannot be written") != std::string::npos ||
                          fileError.find("unable to open") != std::string::npos;
    _exit(!opened && said && !fileOpened && fileSaid ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  chmod(folder.Path().c_str(), 0755);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
