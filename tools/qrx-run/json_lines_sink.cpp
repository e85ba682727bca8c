// One unit, one line: the station formats it and queues it; the writer thread writes each line
// with a single fwrite and flushes, so lines of stations ending at once never interleave.
#include "json_lines_sink.h"

#include "../store/unit_json.h"

#include <cerrno>
#include <cstring>

namespace qrx::tools {

JsonLinesSink::JsonLinesSink(const std::string &path) {
  file_ = std::fopen(path.c_str(), "ab");
  if (!file_) {
    error_ = path + ": " + std::strerror(errno);
    return;
  }
  writer_ = std::thread(&JsonLinesSink::WriteLines, this);
}

JsonLinesSink::~JsonLinesSink() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    closing_ = true;
  }
  queued_.notify_all();
  if (writer_.joinable()) writer_.join();
  if (file_) std::fclose(file_);
}

void JsonLinesSink::WriteLines() {
  std::unique_lock<std::mutex> lock(lock_);
  for (;;) {
    queued_.wait(lock, [&] { return closing_ || !lines_.empty(); });
    if (lines_.empty()) return; // closing, and everything written
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    lock.unlock();
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
    lock.lock();
  }
}

void JsonLinesSink::EndUnit(const store::UnitRecord &unit) {
  if (!file_) return;
  std::string line = store::UnitToJsonLine(unit) + "\n";
  {
    std::lock_guard<std::mutex> hold(lock_);
    lines_.push_back(std::move(line));
  }
  queued_.notify_one();
}

} // namespace qrx::tools
