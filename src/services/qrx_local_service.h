// The station's locale service: the interface test libraries may ask for locale data; this
// station holds none, so every answer is empty or zero.
#pragma once

#include <qrx/locale_service.h>

#include <string>
#include <vector>

namespace qrx {

class CQRXLocalService final : public ILocaleService {
public:
  CQRXLocalService() = default;
  virtual ~CQRXLocalService(); // slot 8

  void *Reserved0() override { return nullptr; }
  void Release() override { delete this; }
  std::vector<std::string> GetNameList() override;
  int Reserved3(int) override { return 0; }
  std::string GetText(int, int) override;
  int Reserved5(std::string, int) override { return 0; }
  int Reserved6(std::string) override { return 0; }
  int Reserved7() override { return 0; }
};

} // namespace qrx
