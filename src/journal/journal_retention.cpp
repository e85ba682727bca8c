// Retention of a journal folder, oldest files first by the start time in their names.
#include "journal/journal_retention.h"

#include "journal/journal_format.h"
#include "platform/file_system.h"
#include "platform/module_path.h"
#include "platform/process.h"

#include <algorithm>
#include <set>
#include <tuple>
#include <vector>

namespace qrx::journal {
namespace {

struct Candidate {
  JournalFileName parsed;
  std::string name;
  uint64_t size = 0;
  bool done = false;
  bool operator<(const Candidate &o) const {
    return std::tie(parsed.startUs, parsed.seq, name) < std::tie(o.parsed.startUs, o.parsed.seq, o.name);
  }
};

// Long enough for any rotated or station_end line.
constexpr size_t kTailBytes = 4096;

// A file of this machine whose host process is gone: it will not grow any more, though its
// last line is no station_end (the host was killed or crashed).
bool HostGone(const JournalFileName &name) {
  static const std::string machine = SanitizedMachineName(platform::MachineName());
  return name.machine == machine && name.pid != platform::CurrentProcessId() &&
         !platform::ProcessRunning(name.pid);
}

} // namespace

bool JournalRetention::IsClosed(const std::string &path) {
  std::string tail;
  if (!platform::ReadFileTail(path, kTailBytes, &tail) || tail.empty() || tail.back() != '\n')
    return false;
  tail.pop_back();
  const size_t from = tail.rfind('\n');
  const std::string_view last =
      std::string_view(tail).substr(from == std::string::npos ? 0 : from + 1);
  for (std::string_view type : {event::kStationEnd, event::kRotated}) {
    const std::string marker = "\"" + std::string(field::kType) + "\":\"" + std::string(type) + "\"";
    if (last.find(marker) != std::string_view::npos) return true;
  }
  return false;
}

JournalRetention::Outcome JournalRetention::Enforce(const std::string &folder,
                                                    int64_t maxFolderBytes) {
  Outcome outcome;
  std::vector<platform::FolderFile> files;
  if (!platform::ListFiles(folder, &files)) return outcome;
  std::set<std::string> doneMarks;
  for (const platform::FolderFile &file : files)
    if (file.name.size() > kDoneSuffix.size() &&
        file.name.compare(file.name.size() - kDoneSuffix.size(), kDoneSuffix.size(), kDoneSuffix) == 0)
      doneMarks.insert(file.name.substr(0, file.name.size() - kDoneSuffix.size()));

  std::vector<Candidate> journals;
  uint64_t total = 0;
  for (const platform::FolderFile &file : files) {
    std::optional<JournalFileName> parsed = ParseJournalFileName(file.name);
    if (!parsed) continue;
    total += file.size;
    journals.push_back({*parsed, file.name, file.size, doneMarks.count(file.name) != 0});
  }
  if (total <= static_cast<uint64_t>(maxFolderBytes)) return outcome;
  std::sort(journals.begin(), journals.end());

  const std::string prefix = folder + platform::kPathSeparator;
  // First the files the collector has recorded, then, still over the bound, any closed file.
  for (int pass = 0; pass < 2 && total > static_cast<uint64_t>(maxFolderBytes); ++pass) {
    for (Candidate &c : journals) {
      if (total <= static_cast<uint64_t>(maxFolderBytes)) break;
      if (c.size == UINT64_MAX || (pass == 0 && !c.done)) continue;
      const std::string path = prefix + c.name;
      // Recorded to its end by the collector, closed, or left by a dead host: finished.
      const bool finished = c.done || IsClosed(path) || HostGone(c.parsed);
      if (!finished || !platform::RemoveFile(path)) continue;
      if (c.done) platform::RemoveFile(path + std::string(kDoneSuffix));
      else ++outcome.removedUnrecorded;
      ++outcome.removed;
      total -= c.size;
      c.size = UINT64_MAX; // gone
    }
  }
  return outcome;
}

} // namespace qrx::journal
