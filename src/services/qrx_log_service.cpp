// Formatting of test-item lines and their broadcast to the station's log observers.
#include "services/qrx_log_service.h"

#include "journal/station_journal.h"
#include "services/test_item_events.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace qrx {
namespace {

// Set while a test item's line is broadcast: the journal records the item whole instead.
thread_local bool t_writingItem = false;

// GBK labels of the test-item line.
constexpr char kItemLabel[] = "\xB2\xE2\xCA\xD4\xCF\xEE\xC4\xBF";    // 测试项目
constexpr char kValueLabel[] = "\xB2\xE2\xCA\xD4\xCA\xFD\xD6\xB5";   // 测试数值
constexpr char kUpperLabel[] = "\xC9\xCF\xCF\xDE";                   // 上限
constexpr char kLowerLabel[] = "\xCF\xC2\xCF\xDE";                   // 下限
constexpr char kVerdictLabel[] = "\xB2\xE2\xCA\xD4\xBD\xE1\xB9\xFB"; // 测试结果
constexpr char kPairSeparator[] = "\t\t";

// Passed on to Write although the broadcast does not use them.
constexpr int kExtra1 = 64;
constexpr int kExtra2 = 2;

// Hosts rely on a test-item line never holding these two characters.
bool HasForbiddenCharacter(const std::string &text) {
  return text.find_first_of("$'") != std::string::npos;
}

std::string Verdict(int passed) { return passed ? "PASS" : "FAIL"; }

// Pops a broadcast's cursor however the broadcast ends.
class CursorScope {
public:
  CursorScope(std::vector<std::size_t *> &cursors, std::size_t *cursor) : cursors_(cursors) {
    cursors_.push_back(cursor);
  }
  ~CursorScope() { cursors_.pop_back(); }
  CursorScope(const CursorScope &) = delete;
  CursorScope &operator=(const CursorScope &) = delete;

private:
  std::vector<std::size_t *> &cursors_;
};

} // namespace

CQRXLogService::~CQRXLogService() = default;

std::string CQRXLogService::FormatInt(int value) {
  char text[16];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, end) : std::string();
}

std::string CQRXLogService::FormatReal(double value) {
  // The largest double has 309 integer digits; with sign, point and two decimals this fits.
  // to_chars does not follow the host's locale, so the point is always a point.
  char text[340];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  if (ec == std::errc()) return std::string(text, end);
  int length = std::snprintf(nullptr, 0, "%.2f", value);
  if (length <= 0) return std::string();
  std::string out(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(out.data(), out.size(), "%.2f", value);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

int CQRXLogService::LogTestItem(std::string source, std::string item, int value, double upper,
                                double lower, int passed, int tag) {
  return LogTestItem(std::move(source), std::move(item), FormatInt(value), FormatReal(upper),
                     FormatReal(lower), Verdict(passed), tag) == -1
             ? -1
             : 0;
}

int CQRXLogService::LogTestItem(std::string source, std::string item, double value, int upper,
                                int lower, int passed, int tag) {
  return LogTestItem(std::move(source), std::move(item), FormatReal(value), FormatInt(upper),
                     FormatInt(lower), Verdict(passed), tag) == -1
             ? -1
             : 0;
}

int CQRXLogService::LogTestItem(std::string source, std::string item, double value,
                                double upper, double lower, int passed, int tag) {
  return LogTestItem(std::move(source), std::move(item), FormatReal(value), FormatReal(upper),
                     FormatReal(lower), Verdict(passed), tag) == -1
             ? -1
             : 0;
}

int CQRXLogService::LogTestItem(std::string source, std::string item, int value, int upper,
                                int lower, int passed, int tag) {
  return LogTestItem(std::move(source), std::move(item), FormatInt(value), FormatInt(upper),
                     FormatInt(lower), Verdict(passed), tag) == -1
             ? -1
             : 0;
}

int CQRXLogService::LogTestItem(std::string source, std::string item, std::string value,
                                std::string upper, std::string lower, std::string verdict,
                                int tag) {
  for (const std::string *text : {&source, &item, &value, &upper, &lower, &verdict})
    if (HasForbiddenCharacter(*text)) return -1;

  std::string line;
  line.reserve(sizeof kItemLabel + sizeof kValueLabel + sizeof kUpperLabel +
               sizeof kLowerLabel + sizeof kVerdictLabel + 5 + 4 * 2 + item.size() +
               value.size() + upper.size() + lower.size() + verdict.size());
  line.append(kItemLabel).append("=").append(item).append(kPairSeparator);
  line.append(kValueLabel).append("=").append(value).append(kPairSeparator);
  line.append(kUpperLabel).append("=").append(upper).append(kPairSeparator);
  line.append(kLowerLabel).append("=").append(lower).append(kPairSeparator);
  line.append(kVerdictLabel).append("=").append(verdict);

  t_writingItem = true;
  const int written = Write(source, QRX_LOG_LEVEL_TEST_ITEM, kExtra1, kExtra2, std::move(line), tag);
  t_writingItem = false;
  if (written == -1) return -1;
  // The host's structured record follows the observers' line.
  TestItemEvents::Publish(threadIndex_, source, item, value, upper, lower, verdict, tag);
  if (journal::StationJournal *journal = journal::StationJournal::Current())
    journal->Item(source, item, value, upper, lower, verdict, tag);
  return 0;
}

int CQRXLogService::LogMessage(std::string source, std::string text, int level, int tag) {
  return Write(std::move(source), level, kExtra1, kExtra2, std::move(text), tag) == 0 ? 0 : -1;
}

int CQRXLogService::Write(std::string, int level, int, int, std::string text, int) {
  if (journal::StationJournal *journal = journal::StationJournal::Current(); journal && !t_writingItem)
    journal->Log(level, text);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  std::size_t next = 0;
  CursorScope scope(cursors_, &next);
  // The count is read again on every step: observers added meanwhile hear this line too.
  while (next < observers_.size()) {
    ILogObserver *observer = observers_[next++];
    observer->OnLog(level, text); // each observer gets its own copy
  }
  return 0;
}

int CQRXLogService::AddObserver(ILogObserver *observer) {
  // A null observer would only fault at the next broadcast; it is never listed.
  if (!observer) return 1;
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
  return 1;
}

int CQRXLogService::RemoveObserver(ILogObserver *observer) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  auto found = std::find(observers_.begin(), observers_.end(), observer);
  if (found == observers_.end()) return 1;
  const std::size_t index = static_cast<std::size_t>(found - observers_.begin());
  observers_.erase(found);
  // Broadcasts already past the removed entry step back one, so none skips its neighbour.
  for (std::size_t *cursor : cursors_)
    if (index < *cursor) --*cursor;
  return 1;
}

} // namespace qrx
