// Pattern matching for builds without PCRE2 for their target: the C++ library's ECMAScript
// engine, which takes the Perl-style classes, anchors, groups and repetitions that serial-number
// patterns use. That engine has no match limit, so the patterns and texts that could make it
// backtrack without end (or recurse past the stack) are refused up front: a repeated group
// that itself repeats or alternates, and texts longer than a serial number can be. A refused
// pattern never matches, like one PCRE2 would not compile.
#include "sn/pattern_matcher.h"

#include <regex>
#include <vector>

namespace qrx {
namespace {

// Longest text matched; longer ones never match (serial numbers are far shorter).
constexpr size_t kMaxText = 1024;

// True when the pattern repeats (*, + or {n,}) a group that contains a repetition or an
// alternation, e.g. "(a+)+", "(a|aa)*", "((ab)*c){2,}".
bool RepeatsAVariableGroup(const std::string &p) {
  std::vector<bool> variable; // per open group: contains a repetition or alternation
  bool lastGroupVariable = false;
  bool afterGroup = false;
  for (size_t i = 0; i < p.size(); ++i) {
    const char c = p[i];
    const bool closedGroup = afterGroup;
    afterGroup = false;
    if (c == '\\') {
      ++i;
      continue;
    }
    if (c == '[') { // a class: skip to its end
      ++i;
      if (i < p.size() && p[i] == '^') ++i;
      if (i < p.size() && p[i] == ']') ++i;
      while (i < p.size() && p[i] != ']') i += p[i] == '\\' ? 2 : 1;
      continue;
    }
    if (c == '(') {
      variable.push_back(false);
      continue;
    }
    if (c == ')') {
      lastGroupVariable = !variable.empty() && variable.back();
      if (!variable.empty()) variable.pop_back();
      afterGroup = true;
      // Whatever the group holds is inside the enclosing group too.
      if (lastGroupVariable && !variable.empty()) variable.back() = true;
      continue;
    }
    const bool unbounded = c == '*' || c == '+' ||
                           (c == '{' && p.find(',', i) != std::string::npos &&
                            p.find(',', i) < p.find('}', i));
    if (c == '|' || c == '*' || c == '+' || c == '?' || c == '{') {
      if (closedGroup && unbounded && lastGroupVariable) return true;
      if (!variable.empty()) variable.back() = true;
    }
  }
  return false;
}

} // namespace

PatternMatcher::PatternMatcher(const std::string &pattern) {
  if (RepeatsAVariableGroup(pattern)) return;
  try {
    code_ = new std::regex(pattern, std::regex::ECMAScript);
  } catch (const std::exception &) {
    code_ = nullptr;
  }
}

PatternMatcher::~PatternMatcher() { delete static_cast<std::regex *>(code_); }

bool PatternMatcher::Matches(const std::string &text) const {
  if (!code_ || text.size() > kMaxText) return false;
  try {
    return std::regex_search(text, *static_cast<const std::regex *>(code_));
  } catch (const std::exception &) {
    // Too complex for the engine: no match, never a crash.
    return false;
  }
}

} // namespace qrx
