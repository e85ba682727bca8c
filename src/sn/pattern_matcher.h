// Perl-style pattern matching for the serial-number prompt (PCRE2, default options, with a
// match limit so that no pattern can hang a station).
#pragma once

#include <string>

namespace qrx {

class PatternMatcher {
public:
  explicit PatternMatcher(const std::string &pattern);
  ~PatternMatcher();
  PatternMatcher(const PatternMatcher &) = delete;
  PatternMatcher &operator=(const PatternMatcher &) = delete;

  bool Compiled() const { return code_ != nullptr; }
  // True when the pattern matches anywhere in text; a pattern that did not compile never does.
  bool Matches(const std::string &text) const;

private:
  void *code_ = nullptr;
  void *matchContext_ = nullptr;
};

} // namespace qrx
