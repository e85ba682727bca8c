// Identification of the tester over VISA: "*IDN?" at "GPIB<board>::<address>::0::INSTR",
// split into manufacturer, model, serial number and firmware version.
#include "instruments/qrx_instrument_detect_service.h"

#include "platform/operator_ui.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace qrx {
namespace {

// "VISA库加载失败,请重新安装VISA或重启计算机后重试!"
const char kVisaLoadFailed[] =
    "VISA\xBF\xE2\xBC\xD3\xD4\xD8\xCA\xA7\xB0\xDC,\xC7\xEB\xD6\xD8\xD0\xC2\xB0\xB2\xD7\xB0VISA"
    "\xBB\xF2\xD6\xD8\xC6\xF4\xBC\xC6\xCB\xE3\xBB\xFA\xBA\xF3\xD6\xD8\xCA\xD4!";
// "VISA库打开默认RM失败"
const char kDefaultRmFailed[] = "VISA\xBF\xE2\xB4\xF2\xBF\xAA\xC4\xAC\xC8\xCFRM\xCA\xA7\xB0\xDC";
// "测试仪无法控制,请确认PC上是否有GPIB卡并且地址配置无误!"
const char kTesterUnreachable[] =
    "\xB2\xE2\xCA\xD4\xD2\xC7\xCE\xDE\xB7\xA8\xBF\xD8\xD6\xC6,\xC7\xEB\xC8\xB7\xC8\xCFPC\xC9\xCF"
    "\xCA\xC7\xB7\xF1\xD3\xD0GPIB\xBF\xA8\xB2\xA2\xC7\xD2\xB5\xD8\xD6\xB7\xC5\xE4\xD6\xC3\xCE\xDE"
    "\xCE\xF3!";

const char kPxiModel[] = "PXI3000";

// VISA's "%t" has no width: it delivers the whole response up to the END indicator. The
// response is read into a buffer of VISA's formatted-read size and then cut to the 259
// characters of the answer, so a chatty instrument cannot write past the answer buffer.
constexpr size_t kReadBufferSize = 4096;

void Show(const char *text) { platform::ShowMessageBox(nullptr, text); }

// A name that does not fit its 30 bytes is refused rather than cut: a truncated name would
// address another instrument.
bool FormatResourceName(char (&out)[CQRXInstrumentDetectService::kResourceNameSize], int board,
                        int primaryAddress) {
  const int n = std::snprintf(out, sizeof out, "GPIB%d::%d::0::INSTR", board, primaryAddress);
  if (n < 0 || static_cast<size_t>(n) >= sizeof out) {
    out[0] = '\0';
    return false;
  }
  return true;
}

// Sends "*IDN?" and keeps at most 259 characters of the response, without the line end that
// terminates it (the firmware field would otherwise carry it).
ViStatus QueryIdentification(const VisaLibrary &visa, ViSession instrument,
                             char (&answer)[CQRXInstrumentDetectService::kAnswerSize]) {
  std::array<char, kReadBufferSize> response{};
  const ViStatus status = visa.viQueryf(instrument, "*IDN?\n", "%t", response.data());
  response.back() = '\0';
  size_t length = strnlen(response.data(), sizeof answer - 1);
  std::memcpy(answer, response.data(), length);
  answer[length] = '\0';
  while (length > 0 && (answer[length - 1] == '\n' || answer[length - 1] == '\r'))
    answer[--length] = '\0';
  return status;
}

// Splits at commas; a run of commas is one separator and empty fields are skipped. A field
// longer than 63 characters keeps its first 63. Returns the number of fields found (at most
// four; what follows the fourth is ignored).
size_t SplitAnswer(const char *answer,
                   char (&fields)[CQRXInstrumentDetectService::kFieldCount]
                                 [CQRXInstrumentDetectService::kFieldSize]) {
  size_t found = 0;
  const char *p = answer;
  while (found < CQRXInstrumentDetectService::kFieldCount) {
    while (*p == ',') ++p;
    if (*p == '\0') break;
    const char *end = std::strchr(p, ',');
    const size_t length = end ? static_cast<size_t>(end - p) : std::strlen(p);
    const size_t kept = std::min(length, CQRXInstrumentDetectService::kFieldSize - 1);
    std::memcpy(fields[found], p, kept);
    fields[found][kept] = '\0';
    ++found;
    p += length;
  }
  return found;
}

} // namespace

int CQRXInstrumentDetectService::IdentifyInstrument(InstrumentAddress *address) {
  if (!address) return -1;
  std::lock_guard<std::mutex> hold(lock_);
  Query query{};
  if (!visa_.Load()) {
    Show(kVisaLoadFailed);
    return -1;
  }
  resourceManager_ = kViNull;
  if (visa_.viOpenDefaultRM(&resourceManager_) != kViSuccess) {
    visa_.viClose(resourceManager_);
    resourceManager_ = kViNull;
    Show(kDefaultRmFailed);
    visa_.Free();
    return -1;
  }
  // Every way out below closes what this query opened before VISA is freed: the sessions
  // are of no use once the library is gone, and some VISA implementations must not be
  // unloaded with sessions open.
  auto finish = [this](ViSession instrument, int result) {
    if (instrument != kViNull) visa_.viClose(instrument);
    visa_.viClose(resourceManager_);
    resourceManager_ = kViNull;
    visa_.Free();
    return result;
  };

  ViSession instrument = kViNull;
  if (!FormatResourceName(query.resourceName, address->gpibBoard, address->primaryAddress) ||
      visa_.viOpen(resourceManager_, query.resourceName, kViNoLock, kOpenTimeoutMs,
                   &instrument) != kViSuccess) {
    if (SearchPxi(address) != 0) {
      visa_.viClose(resourceManager_);
      resourceManager_ = kViNull;
      Show(kTesterUnreachable);
      visa_.Free();
      return -1;
    }
    return finish(kViNull, 0);
  }
  if (visa_.viClear(instrument) != kViSuccess) return finish(instrument, -1);
  if (QueryIdentification(visa_, instrument, query.answer) != kViSuccess)
    return finish(instrument, -1);
  if (SplitAnswer(query.answer, query.fields) < kFieldCount) return finish(instrument, -1);
  address->model = query.fields[1];
  address->firmwareVersion = query.fields[3];
  return finish(instrument, 0);
}

int CQRXInstrumentDetectService::SearchPxi(InstrumentAddress *address) {
  if (!visa_.IsLoaded()) {
    Show(kVisaLoadFailed);
    return -1;
  }
  ViSession manager = kViNull;
  const ViStatus opened = visa_.viOpenDefaultRM(&manager);
  if (opened < kViSuccess) return opened; // warnings (positive) count as success here
  ViFindList list = kViNull;
  ViUInt32 count = 0;
  // Room beyond the 256 bytes VISA writes, and a terminator we set ourselves after each
  // description, so a description that is not terminated cannot be read past its end.
  char description[4 * kViFindBufferLength] = {};
  visa_.viFindRsrc(manager, "/?*", &list, &count, description);
  int result = -1;
  for (uint64_t i = 1; i <= count; ++i) {
    // A list that ends early (VISA reports an error) has nothing more to look at.
    if (i >= 2 && visa_.viFindNext(list, description) < kViSuccess) break;
    description[sizeof description - 1] = '\0';
    if (std::strstr(description, "PXI") && std::strstr(description, "INSTR")) {
      result = 0;
      break;
    }
  }
  visa_.viClose(list);
  visa_.viClose(manager);
  if (result == 0) address->model = kPxiModel;
  return result;
}

int CQRXInstrumentDetectService::IdentifyInstrumentAt(InstrumentAddress *address, int slot) {
  if (slot < 0 || slot >= kSlotCount || !address) return -1;
  Slot &s = slots_[slot];
  s.address = address;
  s.query = Query{};
  s.instrument = kViNull;
  if (!s.visa.Load()) return -1;
  s.resourceManager = kViNull;
  if (s.visa.viOpenDefaultRM(&s.resourceManager) != kViSuccess) {
    s.visa.viClose(s.resourceManager);
    s.resourceManager = kViNull;
    s.visa.Free();
    return -1;
  }
  auto finish = [&s](int result) {
    if (s.instrument != kViNull) s.visa.viClose(s.instrument);
    s.instrument = kViNull;
    s.visa.viClose(s.resourceManager);
    s.resourceManager = kViNull;
    s.visa.Free();
    return result;
  };
  if (!FormatResourceName(s.query.resourceName, s.address->gpibBoard, s.address->primaryAddress) ||
      s.visa.viOpen(s.resourceManager, s.query.resourceName, kViNoLock, kOpenTimeoutMs,
                    &s.instrument) != kViSuccess) {
    s.instrument = kViNull;
    return finish(-1);
  }
  if (s.visa.viClear(s.instrument) != kViSuccess) return finish(-1);
  if (QueryIdentification(s.visa, s.instrument, s.query.answer) != kViSuccess) return finish(-1);
  if (SplitAnswer(s.query.answer, s.query.fields) < kFieldCount) return finish(-1);
  s.address->model = s.query.fields[1];
  s.address->firmwareVersion = s.query.fields[3];
  return finish(0);
}

} // namespace qrx
