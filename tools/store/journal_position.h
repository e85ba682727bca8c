// How far a collector has recorded a station's journal: kept in the same transaction as the
// units it read up to there, so a collector that dies and starts again neither loses a unit
// nor records one twice.
#pragma once

#include "sql_connection.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qrx::store {

struct JournalPosition {
  std::string journal;  // the station run: "<machine>-<pid>-<threadIndex>-<startUs>"
  std::string fileName; // the journal file the position is in
  int64_t fileSeq = 0;  // its place among the run's rotated files
  int64_t offset = 0;   // bytes of that file recorded
  int64_t nextSeq = 0;  // the event number expected next in that file
  std::string station;  // the run's station_start event, as JSON text
  // Later than other (a later file, or further into the same one).
  bool After(const JournalPosition &other) const {
    return fileSeq != other.fileSeq ? fileSeq > other.fileSeq : offset > other.offset;
  }
};

using JournalPositions = std::map<std::string, JournalPosition>; // by journal

// The table's definition, for the store's schema and for a spool.
extern const char *const kJournalPositionsTable;

// Records the positions in the caller's transaction; a position never moves back.
bool WriteJournalPositions(SqlConnection &connection,
                           const std::vector<JournalPosition> &positions);
// Every position the store holds. False with the connection's error on failure.
bool ReadJournalPositions(SqlConnection &connection, JournalPositions *positions);
// Keeps the later of two positions of each journal.
void MergeJournalPositions(const JournalPositions &from, JournalPositions *into);

// Positions as JSON text (the spool keeps them beside the unit they came with) and back.
std::string JournalPositionsToJson(const std::vector<JournalPosition> &positions);
std::vector<JournalPosition> JournalPositionsFromJson(const std::string &text);

} // namespace qrx::store
