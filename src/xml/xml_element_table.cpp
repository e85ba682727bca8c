// Segmented element table: sizing at parse time and growth by half of the records in use.
#include "xml/xml_element_table.h"

#include <algorithm>
#include <limits>

namespace qrx {

void CXmlElementTable::Reset(size_t textLength) {
  segments_.clear();
  segmentSizes_.clear();
  capacity_ = 0;
  // A record per 64 bytes of text covers ordinary files without growing; tiny texts get a few.
  Reserve(static_cast<int64_t>(textLength / 64) + 8);
  (*this)[0] = XmlElementRecord{};
  nextFree_ = 1;
}

bool CXmlElementTable::Grow() {
  if (nextFree_ == std::numeric_limits<int32_t>::max()) return false;
  Reserve(std::max<int64_t>(static_cast<int64_t>(nextFree_) * 3 / 2, nextFree_ + 8));
  return true;
}

void CXmlElementTable::Reserve(int64_t records) {
  records = std::min<int64_t>(records, std::numeric_limits<int32_t>::max());
  while (capacity_ < records) {
    size_t seg = static_cast<size_t>(capacity_) / kSegmentRecords;
    int32_t want = static_cast<int32_t>(
        std::min<int64_t>(kSegmentRecords, records - static_cast<int64_t>(seg) * kSegmentRecords));
    if (seg < segments_.size()) {
      // The last segment is partly sized: widen it, keeping its records.
      int32_t have = segmentSizes_[seg];
      std::unique_ptr<XmlElementRecord[]> wider(new XmlElementRecord[want]);
      std::copy(segments_[seg].get(), segments_[seg].get() + have, wider.get());
      segments_[seg] = std::move(wider);
      segmentSizes_[seg] = want;
      capacity_ += want - have;
    } else {
      segments_.emplace_back(new XmlElementRecord[want]);
      segmentSizes_.push_back(want);
      capacity_ += want;
    }
  }
}

} // namespace qrx
