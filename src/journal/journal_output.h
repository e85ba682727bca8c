// The files one station's journal goes to: the current file of the station start, its
// rotation at the size bound, retention of the folder, and the bookkeeping of lines that
// could not be written (a missing, read-only or full folder).
#pragma once

#include "journal/journal_format.h"
#include "journal/journal_settings.h"
#include "platform/mapped_append_file.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qrx::journal {

class JournalOutput {
public:
  JournalOutput(const JournalSettings &settings, const JournalFileName &firstName);

  // Makes sure a file is open: creates the folder and opens the file, at most every few seconds
  // after a failure. False when there is no file to write to.
  bool Ready(int64_t monoNs);
  // Line number of the next line in the current file.
  int64_t Seq() const { return seq_; }
  // True when a line of lineBytes would take the current (non-empty) file past its bound.
  bool NeedsRotation(size_t lineBytes) const;
  // File name of the continuation of the current file.
  std::string NextFileName() const;
  // Closes the current file (whose last line announced the next), opens the next one and keeps
  // the folder within its bound. False when the next file cannot be opened.
  bool Rotate(int64_t monoNs);
  // Appends one whole line; on success the line counts and Seq() moves on.
  bool Append(std::string_view line) {
    if (!file_.Append(line, &appendError_)) return AppendFailed();
    ++seq_;
    return true;
  }
  void Close() { file_.Close(); }

  // Lines lost since the last successful append, and why.
  int64_t Lost() const { return lost_; }
  void CountLost() { ++lost_; }
  void ClearLost() { lost_ = 0; }
  const std::string &LastError() const { return lastError_; }
  // The first failure of this station's journal, described for the operator, once: true and
  // *message set the first time it is asked after a failure, false ever after.
  bool TakeFirstProblem(std::string *message);
  // Closed files removed before the collector recorded them, once: true the first time.
  bool TakeFirstUnrecordedDrop(std::string *message);
  const std::string &Folder() const { return settings_.folder; }
  const std::string &CurrentFileName() const { return currentName_; }

private:
  bool OpenCurrent();
  bool AppendFailed();
  void Failed(const std::string &what, const std::string &error);

  JournalSettings settings_;
  JournalFileName name_;
  std::string currentName_;
  platform::MappedAppendFile file_;
  int64_t seq_ = 0;
  int64_t lost_ = 0;
  int64_t retryAfterNs_ = 0;
  std::string lastError_;
  std::string appendError_;
  bool problemPending_ = false;
  bool problemTold_ = false;
  int dropPending_ = 0;
  bool dropTold_ = false;
};

} // namespace qrx::journal
