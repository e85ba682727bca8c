// Pattern matching for builds without PCRE2 for their target: the C++ library's ECMAScript
// engine, which takes the Perl-style classes, anchors, groups and repetitions that serial-number
// patterns use. A pattern it rejects never matches, like one PCRE2 would not compile.
#include "sn/pattern_matcher.h"

#include <regex>

namespace qrx {

PatternMatcher::PatternMatcher(const std::string &pattern) {
  try {
    code_ = new std::regex(pattern, std::regex::ECMAScript);
  } catch (const std::exception &) {
    code_ = nullptr;
  }
}

PatternMatcher::~PatternMatcher() { delete static_cast<std::regex *>(code_); }

bool PatternMatcher::Matches(const std::string &text) const {
  if (!code_) return false;
  try {
    return std::regex_search(text, *static_cast<const std::regex *>(code_));
  } catch (const std::exception &) {
    // Too complex for the engine's stack or step bound: treated as no match, never a crash.
    return false;
  }
}

} // namespace qrx
