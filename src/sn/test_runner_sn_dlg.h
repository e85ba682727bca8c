// The serial-number entry dialog's logic: OK is enabled only while the entered text matches
// the caller's pattern; OK returns the text exactly as typed, Cancel returns nothing.
#pragma once

#include "sn/pattern_matcher.h"

#include <qrx/generic.h>

#include <string>

namespace qrx {

class CTestRunnerSnDlg {
public:
  static constexpr int kIdOk = 1;
  static constexpr int kIdCancel = 2;

  CTestRunnerSnDlg(const std::string &pattern, HWND parent);

  // Edit-change handler: true when OK is enabled for this text.
  bool OnEditChange(const std::string &text);
  bool OkEnabled() const { return okEnabled_; }
  // Runs the dialog through the host's front end (or the terminal default); returns kIdOk
  // with the text in Text(), or kIdCancel.
  int DoModal();
  const std::string &Text() const { return text_; }

private:
  std::string text_;
  std::string pattern_;
  HWND parent_;
  PatternMatcher matcher_;
  bool okEnabled_ = false;
};

} // namespace qrx
