// The locale service's empty answers.
#include "services/qrx_local_service.h"

namespace qrx {

CQRXLocalService::~CQRXLocalService() = default;

std::vector<std::string> CQRXLocalService::GetNameList() { return {}; }

std::string CQRXLocalService::GetText(int, int) { return std::string(); }

} // namespace qrx
