// Phone record copies.
#include "services/phone.h"

#include <new>

namespace qrx {

IPhone *Phone::Clone() { return new (std::nothrow) Phone(model_, mode_, platform_); }

void Phone::Set(std::string model, std::string mode, std::string platform) {
  model_ = std::move(model);
  mode_ = std::move(mode);
  platform_ = std::move(platform);
}

} // namespace qrx
