// Operations that the phone and UFI serial-number managers perform alike.
#include "sn/bi_sn_manager.h"

#include "hub/qrx_test_tools.h"
#include "journal/station_journal.h"
#include "platform/operator_ui.h"
#include "plugins/bi_sn_loader.h"

#include <qrx/account_service.h>
#include <qrx/plugin_boundary.h>

#include <cstring>

namespace qrx {
namespace {
// "请在脚本界面配置必要的型号机类型，参数名称：PhoneType": asks the operator to configure the
// model type in the script interface and names the parameter.
constexpr const char *kNoPhoneType =
    "\xC7\xEB\xD4\xDA\xBD\xC5\xB1\xBE\xBD\xE7\xC3\xE6\xC5\xE4\xD6\xC3\xB1\xD8\xD2\xAA\xB5\xC4"
    "\xD0\xCD\xBA\xC5\xBB\xFA\xC0\xE0\xD0\xCD\xA3\xAC\xB2\xCE\xCA\xFD\xC3\xFB\xB3\xC6\xA3\xBA"
    "PhoneType";
} // namespace

CBISnManager::CBISnManager(CQRXTestTools *testTools, const Positions &positions)
    : ISNManager(testTools), positions_(positions) {}

int CBISnManager::ThreadIndex() const {
  int value = -1;
  IDataSet *parameters = testTools ? testTools->GetParameterDataSet() : nullptr;
  if (!parameters || parameters->GetInt("ThreadIndex", &value) != 0) value = -1;
  return value;
}

int32_t CBISnManager::Initialize() {
  loader = FindLoader();
  if (!loader) return 0;
  sn = PluginObject(loader->GetTestDllObject());
  return sn ? 1 : 0;
}

int32_t CBISnManager::Init_TestDLL_SN() {
  if (!sn || !loader) return 1;
  std::string model;
  IAccountService *accounts = testTools ? testTools->GetAccountService() : nullptr;
  if (IPhone *phone = accounts ? accounts->GetPhone() : nullptr) {
    if (const char *text = phone->GetModel()) model = text;
    phone->Release();
  }
  sn.call<int>(plugin::kSnSetModel, model);

  std::string phoneType;
  IDataSet *parameters = testTools ? testTools->GetParameterDataSet() : nullptr;
  if (!parameters || parameters->GetString("BIPhoneType", phoneType) != 0) {
    platform::ShowMessageBox(nullptr, kNoPhoneType);
    return 1;
  }
  return sn.call<int>(plugin::kSnSetPhoneType, phoneType.c_str()) == 0 ? 0 : 1;
}

bool CBISnManager::ReadCopy(int position, char *buffer, size_t size, int32_t extra) {
  std::memset(buffer, 0, size);
  return CallZero(position, buffer, extra);
}

bool CBISnManager::SameText(const char *buffer, size_t size, const char *text) {
  // A plug-in that filled the whole buffer left no terminator: bound the read-back.
  const size_t length = ::strnlen(buffer, size);
  return length == std::strlen(text) && std::memcmp(buffer, text, length) == 0;
}

bool CBISnManager::SameCopies(const char *first, const char *second, size_t size) {
  // A copy without a terminator inside its buffer is not a text we could hand on, and an
  // empty one means the plug-in read nothing.
  const size_t length = ::strnlen(first, size);
  return length > 0 && length < size && ::strnlen(second, size) == length &&
         std::memcmp(first, second, length) == 0;
}

bool CBISnManager::ReadBacksMatch(std::string_view kind, const char *text,
                                  std::initializer_list<const char *> copies, size_t size) {
  journal::StationJournal *journal = journal::StationJournal::Current();
  bool all = true;
  for (const char *copy : copies) {
    const bool same = SameText(copy, size, text);
    if (journal)
      journal->Identity(kind, journal::identity_op::kCompare,
                        std::string_view(copy, ::strnlen(copy, size)), text, same ? 0 : 1, same);
    all = all && same;
  }
  return all;
}

void CBISnManager::CopyOut(const char *buffer, size_t size, char *out) {
  const size_t length = ::strnlen(buffer, size - 1);
  std::memcpy(out, buffer, length);
  out[length] = '\0';
}

int32_t CBISnManager::WriteMSN(const char *text, int32_t extra) {
  if (!sn || !text) return 1;
  return CallZero(positions_.writeMsn, text, extra) ? 0 : 1;
}

int32_t CBISnManager::ReadMSN(char *out, int32_t extra) {
  if (!sn || !out) return 1;
  return CallZero(positions_.readMsn, out, extra) ? 0 : 1;
}

int32_t CBISnManager::ReservedOperation(int32_t value) {
  if (!sn) return 1;
  return CallZero(positions_.reserved, 0, value) ? 0 : 1;
}

int32_t CBISnManager::ClosePort() {
  if (!sn) return 1;
  return CallZero(positions_.closePort) ? 0 : 1;
}

int32_t CBISnManager::ReadTestInfo(int32_t item, char *out) {
  if (!sn || !out) return 1;
  char flags[kFlagBufferSize];
  std::memset(flags, 0, sizeof flags);
  if (!CallZero(positions_.readFlags, static_cast<int>(plugin::kFlagReadCount),
                static_cast<char *>(flags)))
    return 1;
  // A flag read that left the buffer empty read nothing.
  if (flags[0] == '\0') return 1;
  if (item == 21) item = 4;
  if (item >= 0 && item < 20) {
    out[0] = flags[item];
    out[1] = '\0';
  } else if (item == 20) {
    // The whole flag string; its last byte stays the terminator whatever the plug-in wrote.
    std::memcpy(out, flags, sizeof flags);
    out[sizeof flags - 1] = '\0';
  }
  return 0;
}

int32_t CBISnManager::ReadTestInfo_AT(int32_t item, char *out) {
  if (!sn || !out) return 1;
  return CallZero(positions_.readFlagsAt, item, out) ? 0 : 1;
}

int32_t CBISnManager::WriteTestFlag(int32_t item, const char *text) {
  if (!sn || !text) return 1;
  return CallZero(positions_.writeFlag, item, text) ? 0 : 1;
}

int32_t CBISnManager::ReadIntSoftVersion(char *out, int32_t extra) {
  if (!sn || !out) return 1;
  return CallZero(positions_.readIntSoftVersion, out, extra) ? 0 : 1;
}

int32_t CBISnManager::WriteIMEI(const char *text, int32_t extra) {
  if (!sn || !text) return 1;
  // Refused before anything reaches the device: it could never be read back equal.
  if (!*text || std::strlen(text) > kMaxImeiLength) return 1;
  if (!CallZero(positions_.writeImei1, text, extra)) return 1;
  if (!CallZero(positions_.writeImei2, text, extra)) return 1;
  char first[kImeiBufferSize], second[kImeiBufferSize];
  if (!ReadCopy(positions_.readImei1, first, sizeof first, extra)) return 1;
  if (!ReadCopy(positions_.readImei2, second, sizeof second, extra)) return 1;
  return ReadBacksMatch("imei", text, {first, second}, sizeof first) ? 0 : 1;
}

int32_t CBISnManager::ReadIMEI(char *out, int32_t extra) {
  if (!sn || !out) return 1;
  char first[kImeiBufferSize], second[kImeiBufferSize];
  if (!ReadCopy(positions_.readImei1, first, sizeof first, extra)) return 1;
  if (!ReadCopy(positions_.readImei2, second, sizeof second, extra)) return 1;
  if (!SameCopies(first, second, sizeof first)) return 1;
  CopyOut(first, sizeof first, out);
  return 0;
}

} // namespace qrx
