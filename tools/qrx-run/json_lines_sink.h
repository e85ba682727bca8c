// The --json output of qrx-run: every finished unit appended to a file as one JSON line
// holding its whole record, so runs add up instead of overwriting each other. A writer thread
// does the writing: a station hands over its unit and goes on.
#pragma once

#include "../store/unit_record.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace qrx::tools {

class JsonLinesSink : public store::UnitSink {
public:
  // Opens path for appending; Ok() is false (and Error() says why) when it cannot.
  explicit JsonLinesSink(const std::string &path);
  ~JsonLinesSink() override; // writes every unit handed over before it returns
  JsonLinesSink(const JsonLinesSink &) = delete;
  JsonLinesSink &operator=(const JsonLinesSink &) = delete;

  bool Ok() const { return file_ != nullptr; }
  const std::string &Error() const { return error_; }

  void BeginUnit(const store::UnitRecord &) override {} // only whole units are written
  void EndUnit(const store::UnitRecord &unit) override;

private:
  void WriteLines();

  std::mutex lock_;
  std::condition_variable queued_;
  std::deque<std::string> lines_;
  bool closing_ = false;
  std::FILE *file_ = nullptr;
  std::string error_;
  std::thread writer_;
};

} // namespace qrx::tools
