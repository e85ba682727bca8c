// Perl-style pattern matching for the serial-number prompt: PCRE2 on every build, default
// options, with match, depth and heap limits so that no pattern can hold a station.
#pragma once

#include <string>

namespace qrx {

class PatternMatcher {
public:
  // What a search answered.
  enum class Result {
    kMatched,
    kNotMatched,
    kNotCompiled,  // the pattern did not compile; Error() says why
    kLimitReached, // the search would have run away and was stopped; counted as no match
  };

  explicit PatternMatcher(const std::string &pattern);
  ~PatternMatcher();
  PatternMatcher(const PatternMatcher &) = delete;
  PatternMatcher &operator=(const PatternMatcher &) = delete;

  bool Compiled() const { return code_ != nullptr; }
  // Searches text for the pattern, anywhere in it, as the entry dialog does on every edit.
  Result Search(const std::string &text) const;
  // True when the pattern matches anywhere in text; a pattern that did not compile never does.
  bool Matches(const std::string &text) const { return Search(text) == Result::kMatched; }
  // PCRE2's message for a pattern that did not compile, with the offset it stopped at;
  // "" for a compiled one.
  const std::string &Error() const { return error_; }

private:
  void *code_ = nullptr;
  void *matchContext_ = nullptr;
  std::string error_;
};

} // namespace qrx
