// Serial-number patterns with the answers every build must give: the Linux and both Windows
// builds run this one table, so a pattern means the same at every station.
#pragma once

#include "sn/pattern_matcher.h"

#include <string>

namespace qrx::test {

struct SerialPatternCase {
  const char *pattern;
  std::string text;
  PatternMatcher::Result result;
};

inline const SerialPatternCase kSerialPatternCases[] = {
    {"SN", "xxSNxx", PatternMatcher::Result::kMatched}, // anywhere in the text
    {"^\\d+5$", "125", PatternMatcher::Result::kMatched},
    {"^\\d++5$", "125", PatternMatcher::Result::kNotMatched}, // possessive: the 5 is taken
    {"^[0-9]*+$", std::string(18, '7') + "A", PatternMatcher::Result::kNotMatched},
    {"^(<)?\\w+(?(1)>)$", "<ab>", PatternMatcher::Result::kMatched}, // condition
    {"^(<)?\\w+(?(1)>)$", "<ab", PatternMatcher::Result::kNotMatched},
    {"(?<=SN)\\d{4}", "SN1234", PatternMatcher::Result::kMatched}, // lookbehind
    {"(?<!SN)\\b\\d{4}", "SN1234", PatternMatcher::Result::kNotMatched},
    {"^(?>a+)ab$", "aaab", PatternMatcher::Result::kNotMatched}, // atomic group
    {"^(?i)qrx\\d+$", "QrX12", PatternMatcher::Result::kMatched},
    {"^qrx\\d+$", "QrX12", PatternMatcher::Result::kNotMatched},
    {"^[[:alnum:]]+$", "Ab9", PatternMatcher::Result::kMatched}, // POSIX classes
    {"^[[:alnum:]]+$", "A-b", PatternMatcher::Result::kNotMatched},
    {"^[[:xdigit:]]{4}-[[:upper:]]$", "beef-Q", PatternMatcher::Result::kMatched},
    {"^(\\w)(\\d)\\2\\1$", "a11a", PatternMatcher::Result::kMatched}, // back-references
    {"^(\\w)\\1$", "ab", PatternMatcher::Result::kNotMatched},
    {"\\bSN\\b", "an SN here", PatternMatcher::Result::kMatched}, // word boundaries
    {"\\bSN\\b", "SNX", PatternMatcher::Result::kNotMatched},
    {"\\AQRX\\z", "QRX\n", PatternMatcher::Result::kNotMatched},
    {"^QRX$", "QRX\n", PatternMatcher::Result::kMatched}, // $ also before a final newline
    {"^\\x{51}\\x52X$", "QRX", PatternMatcher::Result::kMatched},
    {"^\\p{Lu}+\\P{Lu}$", "ABc", PatternMatcher::Result::kMatched},
    {"^\\p{Lu}+$", "AbC", PatternMatcher::Result::kNotMatched},
    {"^(\\d{4}-)+\\d{4}$", "1234-5678-9012", PatternMatcher::Result::kMatched},
    {"^(?:AB)+$", "ABAB", PatternMatcher::Result::kMatched},
    {"([", "([", PatternMatcher::Result::kNotCompiled},
    // Runaway searches stop at the match limit, well within a moment.
    {"^(a+)+$", std::string(40, 'a') + "b", PatternMatcher::Result::kLimitReached},
    {"^(\\w+\\s?)+$", std::string(60, 'x') + "!", PatternMatcher::Result::kLimitReached},
    {"^(a|a)*$", std::string(4000, 'a') + "b", PatternMatcher::Result::kLimitReached},
};

} // namespace qrx::test
