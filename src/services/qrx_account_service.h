// Account service: hands out the fixed user and copies of the station's phone record, read
// once from the root element of the business-configuration file.
#pragma once

#include "services/phone.h"

#include <qrx/account_service.h>

#include <string>

namespace qrx {

class CQRXAccountService final : public IAccountService {
public:
  // configPath: the full name of the station's business-configuration file.
  explicit CQRXAccountService(const std::string &configPath);
  virtual ~CQRXAccountService(); // slot 12
  CQRXAccountService(const CQRXAccountService &) = delete;
  CQRXAccountService &operator=(const CQRXAccountService &) = delete;

  void *Reserved0() override { return nullptr; }
  void Release() override { delete this; }
  int Reserved2(int) override { return 0; }
  IUser *GetUser() override;
  IPhone *GetPhone() override;
  void Reserved5() override {}
  int Reserved6() override { return -1; }
  int Reserved7() override { return -1; }
  int Reserved8(int) override { return -1; }
  int Reserved9() override { return 0; }
  int Reserved10() override { return 0; }
  int Reserved11() override { return 0; }

private:
  IUser *user_ = nullptr;
  Phone *phone_ = nullptr;
};

} // namespace qrx
