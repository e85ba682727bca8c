// The station's user: fixed answers that test libraries read through the account service.
#pragma once

#include <qrx/account_service.h>

namespace qrx {

class CQRXUser final : public IUser {
public:
  CQRXUser() = default;
  virtual ~CQRXUser() = default;

  // Slot 0 of a user answers with its key string rather than null.
  void *Reserved0() override { return const_cast<char *>(kKey); }
  void Release() override { delete this; }
  const char *UserString() override { return kKey; }
  int UserNumber() override { return 4; }
  const char *UserCode() override { return kCode; }
  const char *UserString5() override { return kKey; }
  const char *UserString6() override { return kKey; }
  const char *UserString7() override { return kKey; }

  static constexpr const char *kKey = "58203";
  static constexpr const char *kCode = "719364";
};

} // namespace qrx
