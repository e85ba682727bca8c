// PostgreSQL unit writer with a local spool. Forwarding is idempotent because every operation is
// an upsert by unit id: an operation forwarded twice (the process died between the server's
// commit and the spool's delete) still leaves one copy of the unit.
#include "spooling_pg_writer.h"

#include "schema_migrations.h"
#include "sqlite_unit_writer.h"
#include "unit_json.h"

#include <cstdio>
#include <filesystem>

namespace qrx::store {

namespace {
constexpr auto kReconnectInterval = std::chrono::seconds(1);

bool FileExists(const std::string &path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}
} // namespace

std::unique_ptr<SpoolingPgWriter> SpoolingPgWriter::Open(const std::string &url,
                                                         const std::string &spoolPath,
                                                         StoreMessageHandler messages,
                                                         std::string *error) {
  if (!PgConnection::ValidUrl(url, error))
    return nullptr;
  std::unique_ptr<SpoolingPgWriter> writer(
      new SpoolingPgWriter(url, spoolPath, std::move(messages)));
  // Units left in the spool by an earlier run go first.
  if (FileExists(spoolPath)) {
    if (!writer->OpenSpool()) {
      if (error)
        *error = writer->error_;
      return nullptr;
    }
    writer->spooling_ = writer->Spooled() > 0;
  }
  const Reach reach = writer->Connect();
  if (reach == Reach::Refused) {
    if (error)
      *error = writer->error_;
    return nullptr;
  }
  if (reach == Reach::Away) {
    // Not reachable now: say so once, spool until it is.
    writer->Say(writer->error_ + "; units are kept in " + spoolPath +
                " and forwarded when the server is back");
    writer->reportedDown_ = true;
  }
  if (writer->spooling_)
    writer->Forward();
  return writer;
}

void SpoolingPgWriter::Say(const std::string &text) {
  if (messages_)
    messages_(text);
  else
    std::fprintf(stderr, "qrx-store: %s\n", text.c_str());
}

SpoolingPgWriter::Reach SpoolingPgWriter::Connect() {
  if (server_ && server_->Alive())
    return Reach::Connected;
  const auto now = std::chrono::steady_clock::now();
  if (now < nextConnect_)
    return Reach::Away;
  nextConnect_ = now + kReconnectInterval;
  server_.reset();
  std::string why;
  auto connection = PgConnection::Open(url_, &why);
  if (!connection) {
    error_ = why;
    return PgConnection::ServerAnswers(url_) ? Reach::Refused : Reach::Away;
  }
  if (!MigrateSchema(*connection, &why)) {
    error_ = why;
    return connection->Alive() ? Reach::Refused : Reach::Away;
  }
  server_ = std::move(connection);
  return Reach::Connected;
}

bool SpoolingPgWriter::OpenSpool() {
  if (spool_)
    return true;
  std::string why;
  auto spool = SqliteConnection::Open(spoolPath_, &why);
  auto fail = [&] {
    error_ = "cannot use the spool " + spoolPath_ + ": " + (spool ? spool->Error() : why);
    return false;
  };
  if (!spool ||
      !spool->Exec("CREATE TABLE IF NOT EXISTS spool (seq INTEGER PRIMARY KEY AUTOINCREMENT, "
                   "whole INTEGER NOT NULL, unit_id TEXT NOT NULL, record TEXT NOT NULL, "
                   "positions TEXT)") ||
      !spool->Exec(kJournalPositionsTable))
    return fail();
  // Spools made before journal positions lack their column.
  std::vector<SqlRow> columns;
  if (!spool->Exec("SELECT COUNT(*) FROM pragma_table_info('spool') WHERE name = 'positions'", {},
                   &columns))
    return fail();
  if (!columns.empty() && columns[0][0].value_or("0") == "0" &&
      !spool->Exec("ALTER TABLE spool ADD COLUMN positions TEXT"))
    return fail();
  spool_ = std::move(spool);
  return true;
}

int64_t SpoolingPgWriter::Spooled() const {
  // A connection of its own: the writer thread may be using the spool at this moment.
  if (!FileExists(spoolPath_))
    return 0;
  std::string ignored;
  auto spool = SqliteConnection::Open(spoolPath_, &ignored);
  const auto count = spool ? QueryScalar(*spool, "SELECT COUNT(*) FROM spool") : std::nullopt;
  return count ? std::stoll(*count) : 0;
}

bool SpoolingPgWriter::Spool(const std::vector<UnitOperation> &operations) {
  if (!OpenSpool())
    return false;
  const bool stored = InTransaction(*spool_, [&] {
    for (const UnitOperation &operation : operations) {
      const SqlValue positions = operation.positions.empty()
                                     ? SqlValue{}
                                     : SqlValue{JournalPositionsToJson(operation.positions)};
      if (!spool_->Exec("INSERT INTO spool (whole, unit_id, record, positions) "
                        "VALUES ($1, $2, $3, $4)",
                        {int64_t{operation.whole}, operation.unit.unitId,
                         operation.unit.unitId.empty() ? std::string()
                                                       : UnitToJsonLine(operation.unit),
                         positions}) ||
          !WriteJournalPositions(*spool_, operation.positions))
        return false;
    }
    return true;
  });
  if (!stored) {
    error_ = "cannot spool " + std::to_string(operations.size()) +
             " unit operation(s): " + spool_->Error();
    return false;
  }
  spooling_ = true;
  return true;
}

void SpoolingPgWriter::NotePositions(const std::vector<UnitOperation> &operations) {
  bool any = false;
  for (const UnitOperation &operation : operations)
    any = any || !operation.positions.empty();
  if (!any || !OpenSpool())
    return;
  InTransaction(*spool_, [&] {
    for (const UnitOperation &operation : operations)
      if (!WriteJournalPositions(*spool_, operation.positions))
        return false;
    return true;
  });
}

bool SpoolingPgWriter::ReadPositions(JournalPositions *positions, std::string *error) {
  JournalPositions server;
  if (Connect() == Reach::Connected && !ReadJournalPositions(*server_, &server)) {
    if (error)
      *error = server_->Error();
    return false;
  }
  if (FileExists(spoolPath_)) {
    JournalPositions spooled;
    if (!OpenSpool() || !ReadJournalPositions(*spool_, &spooled)) {
      if (error)
        *error = spool_ ? spool_->Error() : error_;
      return false;
    }
    MergeJournalPositions(spooled, &server);
  }
  MergeJournalPositions(server, positions);
  return true;
}

void SpoolingPgWriter::ReportDown() {
  if (reportedDown_)
    return;
  Say(error_ + "; units are kept in " + spoolPath_ + " and forwarded when the server is back");
  reportedDown_ = true;
}

bool SpoolingPgWriter::WriteBatch(const std::vector<UnitOperation> &operations) {
  if (spooling_ && !Forward())
    return Spool(operations);
  if (Connect() != Reach::Connected) {
    ReportDown();
    return Spool(operations);
  }
  if (WriteUnitOperations(*server_, operations)) {
    error_.clear();
    NotePositions(operations);
    return true;
  }
  error_ = server_->Error();
  if (!server_->Alive())
    server_.reset();
  ReportDown();
  return Spool(operations);
}

bool SpoolingPgWriter::Forward() {
  if (Connect() != Reach::Connected || !OpenSpool())
    return false;
  int64_t forwarded = 0;
  for (;;) {
    // The spool's write lock is held while one operation goes to the server, so two processes
    // sharing the spool never forward the same operation at once nor out of order.
    if (!spool_->Begin()) {
      error_ = spool_->Error();
      return false;
    }
    std::vector<SqlRow> rows;
    if (!spool_->Exec("SELECT seq, whole, record, positions FROM spool ORDER BY seq LIMIT 1", {},
                      &rows)) {
      error_ = spool_->Error();
      spool_->Rollback();
      return false;
    }
    if (rows.empty()) {
      spool_->Commit();
      break;
    }
    const std::string seq = rows[0][0].value_or("0");
    UnitOperation operation;
    operation.whole = rows[0][1].value_or("0") != "0";
    if (rows[0][3])
      operation.positions = JournalPositionsFromJson(*rows[0][3]);
    const std::string text = rows[0][2].value_or("");
    bool ok = true;
    if ((text.empty() && !operation.positions.empty()) ||
        UnitFromJson(nlohmann::json::parse(text, nullptr, false), &operation.unit, nullptr)) {
      ok = WriteUnitOperation(*server_, operation);
    } else {
      Say("dropping an unreadable entry " + seq + " of the spool " + spoolPath_);
    }
    if (!ok) {
      error_ = server_->Error();
      spool_->Rollback();
      if (!server_->Alive())
        server_.reset();
      return false;
    }
    if (!spool_->Exec("DELETE FROM spool WHERE seq = $1", {int64_t{std::stoll(seq)}}) ||
        !spool_->Commit()) {
      error_ = spool_->Error();
      spool_->Rollback();
      return false;
    }
    ++forwarded;
  }
  spooling_ = false;
  if (forwarded || reportedDown_)
    Say("the PostgreSQL store is back: " + std::to_string(forwarded) +
        " spooled unit operations forwarded");
  reportedDown_ = false;
  return true;
}

bool SpoolingPgWriter::Write(const UnitOperation &operation) {
  return WriteBatch({operation});
}

void SpoolingPgWriter::Idle() {
  if (spooling_)
    Forward();
}

} // namespace qrx::store
