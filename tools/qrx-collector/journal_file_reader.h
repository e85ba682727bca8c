// Reads one station journal file from a byte position: whole lines only, each parsed as one
// event. A line still being written waits for the next read; a torn last line of a file that
// will not grow any more is skipped and counted; a line of a newer format refuses the file.
#pragma once

#include "journal_event.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace qrx::collector {

struct JournalLine {
  JournalEvent event;
  int64_t seq = 0;
  int64_t endOffset = 0; // the byte after the line's '\n'
};

class JournalFileReader {
public:
  JournalFileReader(std::string path, int64_t offset, int64_t nextSeq);

  // Appends the whole lines written since the last call, at most maxLines of them. False with
  // *error when the file cannot be read or is refused (a newer format): nothing after that
  // line is read.
  bool ReadMore(std::vector<JournalLine> *lines, size_t maxLines, std::string *error);
  // The file will not grow any more: bytes after its last '\n' are a torn line, skipped.
  void SkipTornTail();

  const std::string &Path() const { return path_; }
  int64_t Offset() const { return offset_; }
  int64_t NextSeq() const { return nextSeq_; }
  bool Refused() const { return refused_; }
  int64_t TornLines() const { return torn_; }
  int64_t LostLines() const { return lost_; } // gaps in seq
  int64_t BadLines() const { return bad_; }   // whole lines that are not an event

private:
  bool Fill(std::string *error);

  std::string path_;
  int64_t offset_;
  int64_t nextSeq_;
  std::ifstream file_;
  std::string buffer_;     // bytes from offset_ on, read but not yet taken
  int64_t bufferEnd_ = 0;  // file offset of the end of buffer_
  bool atLiveEnd_ = false; // the last read reached what the writer has written so far
  bool refused_ = false;
  int64_t torn_ = 0, lost_ = 0, bad_ = 0;
};

} // namespace qrx::collector
