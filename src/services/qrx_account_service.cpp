// Account service construction: reads model, mode and platform of the root "phone".
#include "services/qrx_account_service.h"

#include "services/qrx_user.h"
#include "xml/xml_document.h"

#include <new>

namespace qrx {

CQRXAccountService::CQRXAccountService(const std::string &configPath) {
  user_ = new (std::nothrow) CQRXUser();
  phone_ = new (std::nothrow) Phone();
  if (!phone_) return;
  CXmlDocument document;
  // A missing or malformed file leaves the record empty; nothing is shown to the operator.
  if (!document.LoadFile(configPath)) return;
  document.Rewind();
  if (!document.FindNext("phone")) return;
  phone_->Set(document.GetAttr("model"), document.GetAttr("mode"), document.GetAttr("platform"));
}

CQRXAccountService::~CQRXAccountService() {
  if (user_) user_->Release();
  if (phone_) phone_->Release();
  user_ = nullptr;
  phone_ = nullptr;
}

IUser *CQRXAccountService::GetUser() { return new (std::nothrow) CQRXUser(); }

IPhone *CQRXAccountService::GetPhone() { return phone_ ? phone_->Clone() : nullptr; }

} // namespace qrx
