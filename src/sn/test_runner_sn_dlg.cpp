// Serial-number entry dialog driven by the operator front end of the platform layer.
#include "sn/test_runner_sn_dlg.h"

#include "platform/operator_ui.h"

namespace qrx {

CTestRunnerSnDlg::CTestRunnerSnDlg(const std::string &pattern, HWND parent)
    : pattern_(pattern), parent_(parent), matcher_(pattern) {}

bool CTestRunnerSnDlg::OnEditChange(const std::string &text) {
  okEnabled_ = matcher_.Matches(text);
  return okEnabled_;
}

int CTestRunnerSnDlg::DoModal() {
  okEnabled_ = false; // OK starts disabled until the first matching edit
  std::string entered;
  bool ok = platform::PromptSerialNumber(
      pattern_, [this](const char *t) { return t && OnEditChange(t); }, &entered, parent_);
  if (!ok) return kIdCancel;
  text_ = entered;
  return kIdOk;
}

} // namespace qrx
