// Staging names kept per station, honouring every change of "Common.xml" at the next call.
#include "hub/staging_name_cache.h"

namespace qrx {

void CStagingNameCache::BeginCall() {
  uncached_.clear();
  if (!enabled_) return;
  const platform::FileStamp now = platform::StatFile(commonPath_);
  if (!checked_ || racy_ || !(now == stamp_)) {
    names_.clear();
    stamp_ = now;
    checked_ = true;
    // A file changed within the clock's last tick may change again without a new stamp:
    // names read from it serve this call only, until its stamp has aged past that tick.
    racy_ = platform::FileChangedRecently(now);
  }
}

namespace {
// The hub's answer for section/key; the views need not be terminated.
std::string ReadName(IMyTestTools *hub, std::string_view section, std::string_view key) {
  if (!hub) return std::string();
  const std::string sectionText(section), keyText(key);
  return hub->GetCommonValue(sectionText.c_str(), keyText.c_str());
}
} // namespace

const std::string &CStagingNameCache::Name(std::string_view section, std::string_view key) {
  if (!enabled_) {
    uncached_.push_back(ReadName(hub_, section, key));
    return uncached_.back();
  }
  scratchKey_.assign(section);
  scratchKey_ += '\x1F';
  scratchKey_ += key;
  auto found = names_.find(scratchKey_);
  if (found != names_.end()) return found->second;
  return names_.emplace(scratchKey_, ReadName(hub_, section, key)).first->second;
}

void CStagingNameCache::SetEnabled(bool enabled) {
  enabled_ = enabled;
  names_.clear();
  checked_ = false;
}

} // namespace qrx
