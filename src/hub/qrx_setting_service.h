// Opens setting files in folders beside the library (by default "BusinessCfg").
#pragma once

#include "hub/qrx_setting_file.h"

#include <qrx/setting_service.h>

namespace qrx {

class CQRXSettingService final : public ISettingService {
public:
  // rootDirectory ends with '/' (the hub's module directory).
  explicit CQRXSettingService(const CString &rootDirectory) : rootDirectory_(rootDirectory) {}
  virtual ~CQRXSettingService() = default;

  void *Reserved0() override { return nullptr; }
  void Release() override { delete this; }
  ISettingFile *OpenSettingFile(const CString &fileName, const CString &folder) override {
    return Open(fileName, folder);
  }
  int Reserved3() override { return -1; }
  int Reserved4() override { return -1; }

  // The same as OpenSettingFile, with the concrete type the hub needs for copying sections.
  CQRXSettingFile *Open(const CString &fileName, const CString &folder);
  // rootDirectory + folder ("BusinessCfg" when empty) + '/' + fileName.
  CString PathOf(const CString &fileName, const CString &folder) const;

private:
  CString rootDirectory_;
};

} // namespace qrx
