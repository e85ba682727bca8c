// The --json output of qrx-run: every finished unit appended to a file as one JSON line
// holding its whole record, so runs add up instead of overwriting each other.
#pragma once

#include "../store/unit_record.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace qrx::tools {

class JsonLinesSink : public store::UnitSink {
public:
  // Opens path for appending; Ok() is false (and Error() says why) when it cannot.
  explicit JsonLinesSink(const std::string &path);
  ~JsonLinesSink() override;
  JsonLinesSink(const JsonLinesSink &) = delete;
  JsonLinesSink &operator=(const JsonLinesSink &) = delete;

  bool Ok() const { return file_ != nullptr; }
  const std::string &Error() const { return error_; }

  void BeginUnit(const store::UnitRecord &) override {} // only whole units are written
  void EndUnit(const store::UnitRecord &unit) override;

  static std::string ToJsonLine(const store::UnitRecord &unit); // without the line end

private:
  std::mutex lock_;
  std::FILE *file_ = nullptr;
  std::string error_;
};

} // namespace qrx::tools
