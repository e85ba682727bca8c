// Journal files of one station: open, rotate, retain, and count what could not be written.
#include "journal/journal_output.h"

#include "journal/journal_retention.h"
#include "platform/file_system.h"
#include "platform/module_path.h"

#include <algorithm>

namespace qrx::journal {
namespace {
// After a failed open, the next attempt waits this long: a missing or read-only folder is not
// asked again on every event.
constexpr int64_t kRetryNs = 5'000'000'000;
// A file is allocated this far ahead of its writer, or as far as its bound when that is less.
constexpr int64_t kSegmentBytes = 1 << 20;
} // namespace

JournalOutput::JournalOutput(const JournalSettings &settings, const JournalFileName &firstName)
    : settings_(settings), name_(firstName) {
  file_.SetSegmentBytes(static_cast<uint64_t>(
      std::clamp<int64_t>(settings_.maxFileBytes, 4096, kSegmentBytes)));
}

bool JournalOutput::OpenCurrent() {
  std::string error;
  if (!platform::CreateDirectories(settings_.folder, &error)) {
    Failed("cannot create the journal folder " + settings_.folder, error);
    return false;
  }
  currentName_ = FormatJournalFileName(name_);
  const std::string path = settings_.folder + platform::kPathSeparator + currentName_;
  if (!file_.Open(path, &error)) {
    Failed("cannot open the journal " + path, error);
    return false;
  }
  seq_ = 0;
  const JournalRetention::Outcome kept =
      JournalRetention::Enforce(settings_.folder, settings_.maxFolderBytes);
  dropPending_ += kept.removedUnrecorded;
  return true;
}

bool JournalOutput::Ready(int64_t monoNs) {
  if (file_.IsOpen()) return true;
  if (monoNs < retryAfterNs_) return false;
  if (OpenCurrent()) return true;
  retryAfterNs_ = monoNs + kRetryNs;
  return false;
}

bool JournalOutput::NeedsRotation(size_t lineBytes) const {
  return file_.IsOpen() && file_.Size() > 0 &&
         file_.Size() + lineBytes > static_cast<uint64_t>(settings_.maxFileBytes);
}

std::string JournalOutput::NextFileName() const {
  JournalFileName next = name_;
  ++next.seq;
  return FormatJournalFileName(next);
}

bool JournalOutput::Rotate(int64_t monoNs) {
  file_.Close();
  ++name_.seq;
  retryAfterNs_ = 0;
  return Ready(monoNs);
}

bool JournalOutput::AppendFailed() {
  Failed("cannot write the journal " + settings_.folder + platform::kPathSeparator + currentName_,
         appendError_);
  return false;
}

void JournalOutput::Failed(const std::string &what, const std::string &error) {
  lastError_ = what + ": " + error;
  if (!problemTold_) problemPending_ = true;
}

bool JournalOutput::TakeFirstProblem(std::string *message) {
  if (!problemPending_) return false;
  problemPending_ = false;
  problemTold_ = true;
  *message = lastError_;
  return true;
}

bool JournalOutput::TakeFirstUnrecordedDrop(std::string *message) {
  if (dropPending_ == 0 || dropTold_) return false;
  dropTold_ = true;
  *message = "the journal folder " + settings_.folder + " exceeded its bound of " +
             std::to_string(settings_.maxFolderBytes) + " bytes: " +
             std::to_string(dropPending_) +
             " closed journal files were removed before they were recorded";
  return true;
}

} // namespace qrx::journal
