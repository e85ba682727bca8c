// The product a station tests: model, mode and platform from its business configuration.
#pragma once

#include <qrx/account_service.h>

#include <string>
#include <utility>

namespace qrx {

class Phone final : public IPhone {
public:
  Phone() = default;
  Phone(std::string model, std::string mode, std::string platform)
      : model_(std::move(model)), mode_(std::move(mode)), platform_(std::move(platform)) {}
  virtual ~Phone() = default;

  void *Reserved0() override { return nullptr; }
  void Release() override { delete this; }
  const char *GetModel() override { return model_.c_str(); }
  const char *GetMode() override { return mode_.c_str(); }
  const char *GetPlatform() override { return platform_.c_str(); }
  IPhone *Clone() override;

  void Set(std::string model, std::string mode, std::string platform);

private:
  std::string model_;
  std::string mode_;
  std::string platform_;
};

} // namespace qrx
