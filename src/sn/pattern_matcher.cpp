// PCRE2 8-bit matching with a bounded amount of backtracking. The limits are set here rather
// than left to each build's PCRE2 configuration, so a pattern means the same on every build.
#include "sn/pattern_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace qrx {
namespace {
// A search that needs more than these stops with "no match" in well under a second: serial
// numbers are short, and no pattern that a station really uses comes near them.
constexpr uint32_t kMatchLimit = 1000000;
constexpr uint32_t kDepthLimit = 10000;
constexpr uint32_t kHeapLimitKiB = 65536;
} // namespace

PatternMatcher::PatternMatcher(const std::string &pattern) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), 0, &error,
                        &offset, nullptr);
  if (!code_) {
    PCRE2_UCHAR message[256];
    if (pcre2_get_error_message(error, message, sizeof message) < 0) message[0] = 0;
    error_ = reinterpret_cast<const char *>(message);
    error_ += " (at offset " + std::to_string(offset) + ")";
    return;
  }
  auto *ctx = pcre2_match_context_create(nullptr);
  if (ctx) {
    pcre2_set_match_limit(ctx, kMatchLimit);
    pcre2_set_depth_limit(ctx, kDepthLimit);
    pcre2_set_heap_limit(ctx, kHeapLimitKiB);
  }
  matchContext_ = ctx;
}

PatternMatcher::~PatternMatcher() {
  pcre2_match_context_free(static_cast<pcre2_match_context *>(matchContext_));
  pcre2_code_free(static_cast<pcre2_code *>(code_));
}

PatternMatcher::Result PatternMatcher::Search(const std::string &text) const {
  if (!code_) return Result::kNotCompiled;
  // Without a match context there are no limits: such a search is not started.
  if (!matchContext_) return Result::kLimitReached;
  auto *code = static_cast<pcre2_code *>(code_);
  pcre2_match_data *md = pcre2_match_data_create_from_pattern(code, nullptr);
  if (!md) return Result::kLimitReached;
  int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, md,
                       static_cast<pcre2_match_context *>(matchContext_));
  pcre2_match_data_free(md);
  if (rc >= 0) return Result::kMatched;
  return rc == PCRE2_ERROR_NOMATCH ? Result::kNotMatched : Result::kLimitReached;
}

} // namespace qrx
