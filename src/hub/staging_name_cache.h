// The staging names one station read from "Common.xml", kept between export calls so that a
// forwarder with many arguments does not parse the file twice per argument. The file's stamp
// (size, inode, modification and status-change times) is checked once at the start of each
// export call; a changed or removed file empties the cache.
#pragma once

#include "platform/file_system.h"

#include <qrx/test_tools.h>

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qrx {

class CStagingNameCache {
public:
  // `hub` answers the lookups the cache does not hold (GetCommonValue reads the file);
  // `commonPath` is the file whose stamp decides whether the held names are still good.
  CStagingNameCache(IMyTestTools *hub, std::string commonPath)
      : hub_(hub), commonPath_(std::move(commonPath)) {}
  CStagingNameCache(const CStagingNameCache &) = delete;
  CStagingNameCache &operator=(const CStagingNameCache &) = delete;

  // Starts one export call: compares the file's stamp with the one the names were read under
  // and forgets them all when it differs. Within the call the names stay as they are, so the
  // unstaging of a call uses the names of its staging even if the file changes meanwhile.
  void BeginCall();

  // The staging name of section/key; an empty text when the file has none. The reference
  // stays valid until the next BeginCall.
  const std::string &Name(std::string_view section, std::string_view key);

  // Disabled, every Name() asks the hub, which reads the file each time (the uncached path).
  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }

private:
  IMyTestTools *hub_;
  std::string commonPath_;
  platform::FileStamp stamp_;
  bool checked_ = false;
  bool racy_ = false; // the stamp is too fresh to vouch for the file beyond one call
  bool enabled_ = true;
  std::unordered_map<std::string, std::string> names_; // "section\x1Fkey" -> staging name
  std::string scratchKey_;
  std::deque<std::string> uncached_; // answers of the current call when disabled
};

} // namespace qrx
