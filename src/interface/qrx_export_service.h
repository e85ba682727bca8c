// A loaded test library whose functions are called by name with the hub as the one argument.
#pragma once

#include <qrx/test_tools.h>

#include <string>

namespace qrx {

class IQRXExportService {
public:
  explicit IQRXExportService(ITestTools *testTools) : testTools_(testTools) {}
  virtual ~IQRXExportService();
  IQRXExportService(const IQRXExportService &) = delete;
  IQRXExportService &operator=(const IQRXExportService &) = delete;

  // Loads the library; 1 when loaded, 0 otherwise (after the operator saw the message).
  virtual int Load() = 0;

  // The library function's result, or -1 when no library is loaded or it lacks the function.
  // The function is looked up on every call.
  int CallExport(const char *name);

  bool Loaded() const { return module_ != nullptr; }

protected:
  // Loads `path`; on failure shows the decimal error code under `title` and returns 0.
  int LoadLibraryFile(const char *path, const char *title);

private:
  ITestTools *testTools_;
  void *module_ = nullptr;
};

// The five test-library services differ only in their library, plug-in loader and title.
class CQRXBLService final : public IQRXExportService {
public:
  using IQRXExportService::IQRXExportService;
  int Load() override;
};

class CQRXGsmFtService final : public IQRXExportService {
public:
  using IQRXExportService::IQRXExportService;
  int Load() override;
};

class CQRXTDFtService final : public IQRXExportService {
public:
  using IQRXExportService::IQRXExportService;
  int Load() override;
};

class CQRXLTEFtService final : public IQRXExportService {
public:
  using IQRXExportService::IQRXExportService;
  int Load() override;
};

class CWiFiDllManager final : public IQRXExportService {
public:
  using IQRXExportService::IQRXExportService;
  int Load() override;
};

} // namespace qrx
