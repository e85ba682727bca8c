// The writer side of a results store: what the sink's writer thread calls, one operation at a
// time, never from a station thread.
#pragma once

#include "journal_position.h"
#include "unit_record.h"

#include <functional>
#include <string>

namespace qrx::store {

struct UnitOperation {
  bool whole = false; // false: the header of a unit that has started; true: the whole record
  UnitRecord unit;    // an empty unit id: no unit, only positions
  // Where a collector's journals stand once this operation is stored: in the same transaction.
  std::vector<JournalPosition> positions;
};

// Where a store's messages for people go (stderr by default).
using StoreMessageHandler = std::function<void(const std::string &)>;

class UnitStoreWriter {
public:
  virtual ~UnitStoreWriter() = default;
  // Stores one operation atomically. False when it could not be kept anywhere; the caller keeps
  // it and tries again.
  virtual bool Write(const UnitOperation &operation) = 0;
  // Stores the operations in order, all or none of them, in as few transactions as the store
  // allows. False when they could not be kept anywhere.
  virtual bool WriteBatch(const std::vector<UnitOperation> &operations);
  // Every journal position the store (and a spool in front of it) holds.
  virtual bool ReadPositions(JournalPositions *positions, std::string *error) {
    (void)positions;
    if (error)
      *error = "this store keeps no journal positions";
    return false;
  }
  // Called when the queue has been empty for a while: a spooling store forwards what it holds.
  virtual void Idle() {}
  // What went wrong last, for people ("" when the last write succeeded).
  virtual std::string LastError() const = 0;
};

} // namespace qrx::store
