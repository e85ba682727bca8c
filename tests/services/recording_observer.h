// A host-side log observer that records every line it hears, as the tests' host would.
#pragma once

#include <qrx/log_service.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qrx::test {

struct Heard {
  int level;
  std::string line;
  bool operator==(const Heard &) const = default;
};

class RecordingObserver : public ILogObserver {
public:
  void OnLog(int level, std::string line) override {
    heard.push_back({level, line});
    if (then) then(level, line);
  }
  std::vector<Heard> heard;
  // Run after recording, to let an observer act on the service from inside OnLog.
  std::function<void(int, const std::string &)> then;
};

// The line a test item gives, with the labels written out byte by byte.
inline std::string ItemLine(const std::string &item, const std::string &value,
                            const std::string &upper, const std::string &lower,
                            const std::string &verdict) {
  return "\xB2\xE2\xCA\xD4\xCF\xEE\xC4\xBF=" + item + "\t\t" +  // 测试项目
         "\xB2\xE2\xCA\xD4\xCA\xFD\xD6\xB5=" + value + "\t\t" + // 测试数值
         "\xC9\xCF\xCF\xDE=" + upper + "\t\t" +                 // 上限
         "\xCF\xC2\xCF\xDE=" + lower + "\t\t" +                 // 下限
         "\xB2\xE2\xCA\xD4\xBD\xE1\xB9\xFB=" + verdict;          // 测试结果
}

} // namespace qrx::test
