// Starting helper programs that the station does not wait for (the ARP cache flush before a
// UFI download).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qrx::platform {

// Starts argv[0] (searched along PATH, then /usr/sbin and /sbin) with argv, detached from the
// caller: its output is discarded, it is never waited for and leaves no zombie behind.
// Returns false when the program cannot be found or started; callers may ignore that.
bool StartDetached(const std::vector<std::string> &argv);

// Starts a Windows command line with its window hidden and does not wait for it: on Windows
// the line goes to WinExec unchanged. Other systems run their equivalent of the lines the
// station uses ("cmd.exe /c arp -d", the ARP cache flush, is "ip neigh flush all") and refuse
// any other line. Returns false when nothing could be started; callers may ignore that.
bool RunHiddenCommand(const char *commandLine);

// This process's id, its executable's file name (without folder) and the machine's name ("" when
// unknown), in the ANSI code page.
int64_t CurrentProcessId();
std::string CurrentProcessName();
std::string MachineName();
// True while a process with this id runs on this machine; one that cannot be inspected counts
// as running.
bool ProcessRunning(int64_t pid);

} // namespace qrx::platform
