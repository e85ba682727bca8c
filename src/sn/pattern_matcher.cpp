// PCRE2 8-bit matching with a bounded amount of backtracking.
#include "sn/pattern_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace qrx {
namespace {
constexpr uint32_t kMatchLimit = 1000000;
constexpr uint32_t kDepthLimit = 10000;
} // namespace

PatternMatcher::PatternMatcher(const std::string &pattern) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), 0, &error,
                        &offset, nullptr);
  if (code_) {
    auto *ctx = pcre2_match_context_create(nullptr);
    if (ctx) {
      pcre2_set_match_limit(ctx, kMatchLimit);
      pcre2_set_depth_limit(ctx, kDepthLimit);
    }
    matchContext_ = ctx;
  }
}

PatternMatcher::~PatternMatcher() {
  pcre2_match_context_free(static_cast<pcre2_match_context *>(matchContext_));
  pcre2_code_free(static_cast<pcre2_code *>(code_));
}

bool PatternMatcher::Matches(const std::string &text) const {
  if (!code_) return false;
  auto *code = static_cast<pcre2_code *>(code_);
  pcre2_match_data *md = pcre2_match_data_create_from_pattern(code, nullptr);
  if (!md) return false;
  int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, md,
                       static_cast<pcre2_match_context *>(matchContext_));
  pcre2_match_data_free(md);
  return rc >= 0;
}

} // namespace qrx
