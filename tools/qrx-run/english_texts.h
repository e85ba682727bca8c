// English for the library's fixed Chinese texts (log-line labels, message boxes, prompts), for
// operators who run qrx-run with --lang en. Host side only: the library's texts are unchanged.
#pragma once

#include <string>

namespace qrx::tools {

class EnglishTexts {
public:
  // Replaces every fixed text of the library found in utf8 by its English; the rest (names,
  // values, a test library's own words) stays as it is.
  static std::string Translate(const std::string &utf8);
};

} // namespace qrx::tools
