// Journal positions in the table journal_positions, the same on both engines.
#include "journal_position.h"

#include <nlohmann/json.hpp>

#include <chrono>

namespace qrx::store {

const char *const kJournalPositionsTable = R"(CREATE TABLE IF NOT EXISTS journal_positions (
             journal TEXT PRIMARY KEY,
             file_name TEXT NOT NULL,
             file_seq BIGINT NOT NULL,
             byte_offset BIGINT NOT NULL,
             next_seq BIGINT NOT NULL,
             station TEXT NOT NULL DEFAULT '',
             updated_us BIGINT NOT NULL))";

bool WriteJournalPositions(SqlConnection &connection,
                           const std::vector<JournalPosition> &positions) {
  const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  for (const JournalPosition &p : positions)
    if (!connection.Exec(
            "INSERT INTO journal_positions (journal, file_name, file_seq, byte_offset, next_seq, "
            "station, updated_us) VALUES ($1, $2, $3, $4, $5, $6, $7) "
            "ON CONFLICT (journal) DO UPDATE SET file_name = excluded.file_name, "
            "file_seq = excluded.file_seq, byte_offset = excluded.byte_offset, "
            "next_seq = excluded.next_seq, station = excluded.station, "
            "updated_us = excluded.updated_us "
            "WHERE excluded.file_seq > journal_positions.file_seq OR "
            "(excluded.file_seq = journal_positions.file_seq AND "
            "excluded.byte_offset >= journal_positions.byte_offset)",
            {p.journal, p.fileName, p.fileSeq, p.offset, p.nextSeq, p.station, now}))
      return false;
  return true;
}

bool ReadJournalPositions(SqlConnection &connection, JournalPositions *positions) {
  std::vector<SqlRow> rows;
  if (!connection.Exec("SELECT journal, file_name, file_seq, byte_offset, next_seq, station "
                       "FROM journal_positions",
                       {}, &rows))
    return false;
  for (const SqlRow &r : rows) {
    if (r.size() < 6 || !r[0])
      continue;
    JournalPosition p;
    p.journal = *r[0];
    p.fileName = r[1].value_or("");
    p.fileSeq = std::stoll(r[2].value_or("0"));
    p.offset = std::stoll(r[3].value_or("0"));
    p.nextSeq = std::stoll(r[4].value_or("0"));
    p.station = r[5].value_or("");
    (*positions)[p.journal] = std::move(p);
  }
  return true;
}

void MergeJournalPositions(const JournalPositions &from, JournalPositions *into) {
  for (const auto &[journal, position] : from) {
    auto it = into->find(journal);
    if (it == into->end() || position.After(it->second))
      (*into)[journal] = position;
  }
}

std::string JournalPositionsToJson(const std::vector<JournalPosition> &positions) {
  nlohmann::json array = nlohmann::json::array();
  for (const JournalPosition &p : positions)
    array.push_back({{"journal", p.journal},
                     {"file", p.fileName},
                     {"fileSeq", p.fileSeq},
                     {"offset", p.offset},
                     {"nextSeq", p.nextSeq},
                     {"station", p.station}});
  return array.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::vector<JournalPosition> JournalPositionsFromJson(const std::string &text) {
  std::vector<JournalPosition> positions;
  const auto array = nlohmann::json::parse(text, nullptr, false);
  if (!array.is_array())
    return positions;
  for (const auto &o : array) {
    if (!o.is_object() || !o.value("journal", nlohmann::json()).is_string())
      continue;
    JournalPosition p;
    p.journal = o.value("journal", "");
    p.fileName = o.value("file", "");
    p.fileSeq = o.value("fileSeq", int64_t{0});
    p.offset = o.value("offset", int64_t{0});
    p.nextSeq = o.value("nextSeq", int64_t{0});
    p.station = o.value("station", "");
    positions.push_back(std::move(p));
  }
  return positions;
}

} // namespace qrx::store
