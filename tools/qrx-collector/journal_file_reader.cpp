// Journal file reading with a buffer of the bytes after the last whole line.
#include "journal_file_reader.h"

#include "journal/journal_format.h"

namespace qrx::collector {

namespace {
// Reads take a large chunk while there is a backlog, and a small one at the live end of a file,
// where what follows the last line is the zero tail the writer has allocated ahead.
constexpr size_t kChunkBytes = 1 << 20;
constexpr size_t kLiveChunkBytes = 64 << 10;
// A line longer than this is no event of a journal: it is skipped as bad.
constexpr size_t kMaxLineBytes = 64u << 20;
} // namespace

JournalFileReader::JournalFileReader(std::string path, int64_t offset, int64_t nextSeq)
    : path_(std::move(path)), offset_(offset), nextSeq_(nextSeq), bufferEnd_(offset) {}

bool JournalFileReader::Fill(std::string *error) {
  if (!file_.is_open()) {
    file_.open(path_, std::ios::binary);
    if (!file_) {
      *error = "cannot read the journal " + path_;
      return false;
    }
  }
  file_.clear(); // past the end last time: the file may have grown since
  file_.seekg(bufferEnd_);
  const size_t before = buffer_.size();
  const size_t chunk = atLiveEnd_ ? kLiveChunkBytes : kChunkBytes;
  buffer_.resize(before + chunk);
  file_.read(buffer_.data() + before, static_cast<std::streamsize>(chunk));
  auto got = static_cast<size_t>(file_.gcount());
  // A zero byte ends what the writer has appended so far: its file is allocated ahead of it.
  const size_t zero = buffer_.find('\0', before);
  atLiveEnd_ = got < chunk || zero < before + got;
  if (zero < before + got) got = zero - before;
  buffer_.resize(before + got);
  bufferEnd_ += static_cast<int64_t>(got);
  return true;
}

bool JournalFileReader::ReadMore(std::vector<JournalLine> *lines, size_t maxLines,
                                 std::string *error) {
  if (refused_)
    return false;
  size_t taken = 0;
  size_t start = 0; // first byte of buffer_ not yet taken
  auto compact = [&] {
    buffer_.erase(0, start);
    start = 0;
  };
  while (taken < maxLines) {
    size_t end = buffer_.find('\n', start);
    if (end == std::string::npos) {
      compact();
      const size_t had = buffer_.size();
      if (!Fill(error))
        return false;
      if (buffer_.size() == had)
        break; // nothing new
      if (buffer_.size() > kMaxLineBytes && buffer_.find('\n') == std::string::npos) {
        // Not a line a writer makes: drop what there is up to the next line end.
        offset_ += static_cast<int64_t>(buffer_.size());
        buffer_.clear();
        ++bad_;
      }
      continue;
    }
    const std::string_view text(buffer_.data() + start, end - start);
    const int64_t endOffset = offset_ + static_cast<int64_t>(end - start + 1);
    JournalLine line;
    const bool event = line.event.Parse(text);
    if (!event || !line.event.IsInteger(journal::field::kVersion) ||
        !line.event.IsInteger(journal::field::kSeq) || !line.event.IsString(journal::field::kType)) {
      ++bad_;
    } else if (const int64_t v = line.event.Int(journal::field::kVersion);
               v > journal::kJournalFormatVersion) {
      refused_ = true;
      *error = "the journal " + path_ + " has format version " + std::to_string(v) +
               ", newer than the " + std::to_string(journal::kJournalFormatVersion) +
               " this qrx-collector reads: update qrx-collector; the file is left as it is";
      compact();
      return false;
    } else {
      line.seq = line.event.Int(journal::field::kSeq);
      if (line.seq > nextSeq_)
        lost_ += line.seq - nextSeq_;
      nextSeq_ = std::max(nextSeq_, line.seq + 1);
      line.endOffset = endOffset;
      lines->push_back(std::move(line));
      ++taken;
    }
    offset_ = endOffset;
    start = end + 1;
  }
  compact();
  return true;
}

void JournalFileReader::SkipTornTail() {
  std::string ignored;
  if (buffer_.empty())
    Fill(&ignored);
  if (!buffer_.empty() && buffer_.find('\n') == std::string::npos) {
    ++torn_;
    offset_ += static_cast<int64_t>(buffer_.size());
    buffer_.clear();
  }
}

} // namespace qrx::collector
