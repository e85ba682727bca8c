// The station's log service: turns test items and messages into one line of text each and
// hands that line to every observer the host registered for the station.
#pragma once

#include <qrx/log_service.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace qrx {

class CQRXLogService final : public IMyLogServer {
public:
  // threadIndex: the station's, handed to the host with each structured test item.
  explicit CQRXLogService(int threadIndex = 0) : threadIndex_(threadIndex) {}
  virtual ~CQRXLogService(); // slot 19
  CQRXLogService(const CQRXLogService &) = delete;
  CQRXLogService &operator=(const CQRXLogService &) = delete;

  void *Reserved0() override { return nullptr; }
  void Release() override { delete this; }
  int Reserved2(int) override { return 0; }
  int Reserved3() override { return 0; }
  int LogTestItem(std::string source, std::string item, int value, double upper, double lower,
                  int passed, int tag) override;
  int LogTestItem(std::string source, std::string item, double value, int upper, int lower,
                  int passed, int tag) override;
  int LogTestItem(std::string source, std::string item, double value, double upper,
                  double lower, int passed, int tag) override;
  int LogTestItem(std::string source, std::string item, int value, int upper, int lower,
                  int passed, int tag) override;
  int LogTestItem(std::string source, std::string item, std::string value, std::string upper,
                  std::string lower, std::string verdict, int tag) override;
  int LogMessage(std::string source, std::string text, int level, int tag) override;
  int Write(std::string source, int level, int extra1, int extra2, std::string text,
            int tag) override;
  int Reserved11(int) override { return 0; }
  int Reserved12(int) override { return 0; }
  int Reserved13(int) override { return 0; }
  int Reserved14(std::string, int) override { return 0; }
  int Reserved15(std::string, int) override { return 0; }
  int Reserved16(int) override { return 2; }
  int AddObserver(ILogObserver *observer) override;
  int RemoveObserver(ILogObserver *observer) override;

  // Text of one number as the test-item lines show it: "%d" and "%.2f" in the C locale.
  static std::string FormatInt(int value);
  static std::string FormatReal(double value);

private:
  int threadIndex_ = 0;
  // Recursive: an observer may log, register or unregister from inside its OnLog.
  std::recursive_mutex lock_;
  std::vector<ILogObserver *> observers_;
  // Positions of the broadcasts in progress (nested when an observer logs), so that a removal
  // during a broadcast neither skips the next observer nor calls a removed one.
  std::vector<std::size_t *> cursors_;
};

} // namespace qrx
