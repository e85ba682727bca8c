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

// This process's id, its executable's file name (without folder) and the machine's name ("" when
// unknown), in the ANSI code page.
int64_t CurrentProcessId();
std::string CurrentProcessName();
std::string MachineName();

} // namespace qrx::platform
