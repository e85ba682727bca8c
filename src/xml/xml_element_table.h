// Flat table of element positions of one XML document, kept in segments of 65536 records so
// that growing a large table never copies the records already in place.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace qrx {

// One element: where its tags lie in the text and how it hangs in the tree. Start and end
// tag lengths get a word each so that a start tag of any size (a 100 MB attribute) and an
// end tag with a long name are recorded exactly.
// Plain data: records are zeroed when handed out, not when the table is sized.
struct XmlElementRecord {
  int32_t start;       // offset of the "<" of the start tag
  int32_t length;      // start tag "<" to the end of the end tag (or empty-element tag)
  int32_t startTagLength;
  int32_t endTagLength; // 0 for an empty-element tag and for an element never ended
  uint32_t flagsLevel; // kStructureError | kUnended | nesting level
  int32_t parent;
  int32_t firstChild;
  int32_t nextSibling;
  int32_t prevSibling; // for a first child: the last sibling

  static constexpr uint32_t kStructureError = 0x800000;
  // A start tag whose end tag never came: when it has no content its length equals its start
  // tag's, like an empty-element tag's, but its tag has no "/>" to take apart.
  static constexpr uint32_t kUnended = 0x400000;
  static constexpr uint32_t kLevelMask = 0x3FFFFF;

  bool IsEmptyTag() const { return startTagLength == length && !(flagsLevel & kUnended); }
  bool IsUnended() const { return (flagsLevel & kUnended) != 0; }
  int32_t ContentStart() const { return start + startTagLength; }
  int32_t ContentEnd() const { return start + length - endTagLength; }
};

class CXmlElementTable {
public:
  static constexpr int32_t kSegmentRecords = 65536;

  // Drops every record and sizes the table for a text of textLength bytes; record 0 (the
  // document) is in use afterwards.
  void Reset(size_t textLength);
  // Hands out the next free record (growing the table when full); -1 when the table cannot
  // grow any more.
  int32_t Allocate() {
    if (nextFree_ >= capacity_ && !Grow()) return -1;
    int32_t i = nextFree_++;
    (*this)[i] = XmlElementRecord{};
    return i;
  }

  XmlElementRecord &operator[](int32_t i) {
    return segments_[static_cast<size_t>(i) >> 16][static_cast<size_t>(i) & 0xFFFF];
  }
  const XmlElementRecord &operator[](int32_t i) const {
    return segments_[static_cast<size_t>(i) >> 16][static_cast<size_t>(i) & 0xFFFF];
  }

  int32_t NextFree() const { return nextFree_; }
  int32_t Capacity() const { return capacity_; }

private:
  bool Grow();
  void Reserve(int64_t records);

  std::vector<std::unique_ptr<XmlElementRecord[]>> segments_;
  std::vector<int32_t> segmentSizes_;
  int32_t capacity_ = 0;
  int32_t nextFree_ = 0;
};

} // namespace qrx
