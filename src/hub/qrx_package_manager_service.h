// Package manager: the configuration version of a test package, read from its ".config"
// file in the "BusinessCfg" folder beside the host executable.
#pragma once

#include <qrx/package_manager.h>

#include <string>

namespace qrx {

class CQRXPackageManagerService final : public IPackageManagerService {
public:
  CQRXPackageManagerService() = default;
  virtual ~CQRXPackageManagerService() = default; // slot 18

  void *Reserved0() override { return nullptr; }
  void Release() override { delete this; }
  int Reserved2(int) override { return 0; }
  int Reserved3(int, int, int) override { return 0; }
  int Reserved4(int, int) override { return 0; }
  int Reserved5(int, int, int, int) override { return 0; }
  int Reserved6(int, int, int) override { return 0; }
  int Reserved7(int, int, int, int) override { return 0; }
  std::string Reserved8(int, int) override { return std::string(); }
  std::string Reserved9(int, int, int) override { return std::string(); }
  std::string Reserved10(int, int) override { return std::string(); }
  int Reserved11(int, int) override { return 0; }
  int Reserved12(int) override { return 0; }
  int Reserved13(int, int) override { return 0; }
  std::string Reserved14() override { return std::string(); }
  std::string Reserved15(int, int) override { return std::string(); }
  std::string GetConfigVersion(const char *packageName) override;
  int Reserved17(int, int, int) override { return 0; }

  // The package's configuration file name: a ".script" ending becomes ".config".
  static std::string ConfigFileName(const std::string &packageName);
};

} // namespace qrx
