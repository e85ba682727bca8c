// The outbox file: one table, rows in queuing order.
#include "cfx_outbox.h"

#include <sqlite3.h>

namespace qrx::cfx {

namespace {

constexpr int kBusyTimeoutMs = 15000;

struct Statement {
  sqlite3_stmt *stmt = nullptr;
  Statement(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr); }
  ~Statement() { sqlite3_finalize(stmt); }
  explicit operator bool() const { return stmt != nullptr; }
};

} // namespace

std::unique_ptr<CfxOutbox> CfxOutbox::Open(const std::string &path, Limits limits,
                                           std::string *error) {
  sqlite3 *db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<CfxOutbox> outbox(new CfxOutbox(db, path, limits));
  if (rc != SQLITE_OK) {
    if (error) *error = "CFX outbox " + path + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (!outbox->Exec("PRAGMA journal_mode=WAL") || !outbox->Exec("PRAGMA synchronous=NORMAL") ||
      !outbox->Exec("CREATE TABLE IF NOT EXISTS cfx_outbox (seq INTEGER PRIMARY KEY AUTOINCREMENT,"
                    " unique_id TEXT NOT NULL, message_name TEXT NOT NULL, source TEXT NOT NULL,"
                    " time_us INTEGER NOT NULL, body TEXT NOT NULL)") ||
      // A message built again from the same record (a collector restarted after a crash)
      // has the id of the one already queued: it is queued once.
      !outbox->Exec("CREATE UNIQUE INDEX IF NOT EXISTS cfx_outbox_unique_id ON cfx_outbox (unique_id)") ||
      !outbox->AddEncodingColumn()) {
    if (error) *error = outbox->error_ + " (move the file aside if it is not a CFX outbox)";
    return nullptr;
  }
  // Bytes, not characters: the bound counts what the messages take.
  Statement count(db, "SELECT count(*), coalesce(sum(length(CAST(body AS BLOB))), 0) FROM cfx_outbox");
  if (!count || sqlite3_step(count.stmt) != SQLITE_ROW || !outbox->Prepare()) {
    if (error) *error = "CFX outbox " + path + ": " + sqlite3_errmsg(db);
    return nullptr;
  }
  outbox->count_ = sqlite3_column_int64(count.stmt, 0);
  outbox->bytes_ = sqlite3_column_int64(count.stmt, 1);
  return outbox;
}

CfxOutbox::~CfxOutbox() {
  sqlite3_finalize(insert_);
  sqlite3_finalize(next_);
  sqlite3_finalize(remove_);
  sqlite3_close(db_);
}

// Outboxes of earlier versions hold raw JSON only: their rows read as such.
bool CfxOutbox::AddEncodingColumn() {
  Statement has(db_, "SELECT count(*) FROM pragma_table_info('cfx_outbox') WHERE name = 'encoding'");
  if (!has || sqlite3_step(has.stmt) != SQLITE_ROW) {
    Fail(sqlite3_errmsg(db_));
    return false;
  }
  return sqlite3_column_int(has.stmt, 0) > 0 ||
         Exec("ALTER TABLE cfx_outbox ADD COLUMN encoding TEXT NOT NULL DEFAULT ''");
}

bool CfxOutbox::Prepare() {
  return sqlite3_prepare_v2(db_, "INSERT OR IGNORE INTO cfx_outbox (unique_id, message_name, source, time_us, body,"
                                 " encoding) VALUES (?1, ?2, ?3, ?4, ?5, ?6)", -1, &insert_, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, "SELECT seq, unique_id, message_name, source, time_us, body, encoding FROM cfx_outbox"
                                 " WHERE seq > ?1 ORDER BY seq LIMIT ?2", -1, &next_, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db_, "DELETE FROM cfx_outbox WHERE seq = ?1", -1, &remove_, nullptr) == SQLITE_OK;
}

void CfxOutbox::Rollback() { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }

bool CfxOutbox::Exec(const char *sql) {
  char *message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  Fail(message ? message : sqlite3_errmsg(db_));
  sqlite3_free(message);
  return false;
}

void CfxOutbox::Fail(const std::string &what) { error_ = "CFX outbox " + path_ + ": " + what; }

std::string CfxOutbox::LastError() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return error_;
}

CfxOutbox::Added CfxOutbox::Add(std::vector<OutboxMessage> *messages) {
  std::lock_guard<std::mutex> hold(mutex_);
  int64_t bytes = 0;
  for (const OutboxMessage &m : *messages) bytes += static_cast<int64_t>(m.text.size());
  if (count_ + static_cast<int64_t>(messages->size()) > limits_.maxMessages ||
      bytes_ + bytes > limits_.maxBytes)
    return Added::Full;
  if (!Exec("BEGIN IMMEDIATE")) return Added::Failed;
  bool ok = true;
  int64_t added = 0;
  bytes = 0;
  for (OutboxMessage &m : *messages) {
    sqlite3_bind_text(insert_, 1, m.uniqueId.data(), static_cast<int>(m.uniqueId.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert_, 2, m.messageName.data(), static_cast<int>(m.messageName.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert_, 3, m.source.data(), static_cast<int>(m.source.size()), SQLITE_STATIC);
    sqlite3_bind_int64(insert_, 4, m.timeStampUs);
    // Compressed bodies are bytes: stored as such in the text column (SQLite keeps a blob as it is).
    if (m.gzip) sqlite3_bind_blob(insert_, 5, m.text.data(), static_cast<int>(m.text.size()), SQLITE_STATIC);
    else sqlite3_bind_text(insert_, 5, m.text.data(), static_cast<int>(m.text.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert_, 6, m.gzip ? "gzip" : "", -1, SQLITE_STATIC);
    ok = sqlite3_step(insert_) == SQLITE_DONE;
    const bool queued = ok && sqlite3_changes(db_) > 0; // else queued before, under this id
    m.seq = queued ? sqlite3_last_insert_rowid(db_) : 0;
    added += queued ? 1 : 0;
    bytes += queued ? static_cast<int64_t>(m.text.size()) : 0;
    sqlite3_reset(insert_);
    if (!ok) break;
  }
  sqlite3_clear_bindings(insert_);
  if (!ok) {
    Fail(sqlite3_errmsg(db_));
    Rollback();
    return Added::Failed;
  }
  if (!Exec("COMMIT")) {
    Rollback();
    return Added::Failed;
  }
  count_ += added;
  bytes_ += bytes;
  error_.clear();
  return Added::Queued;
}

std::vector<OutboxMessage> CfxOutbox::Next(int64_t afterSeq, size_t max) {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<OutboxMessage> out;
  sqlite3_bind_int64(next_, 1, afterSeq);
  sqlite3_bind_int64(next_, 2, static_cast<int64_t>(max));
  auto text = [&](int column) {
    const void *p = sqlite3_column_blob(next_, column);
    return p ? std::string(static_cast<const char *>(p),
                           static_cast<size_t>(sqlite3_column_bytes(next_, column)))
             : std::string();
  };
  int rc;
  while ((rc = sqlite3_step(next_)) == SQLITE_ROW) {
    OutboxMessage m;
    m.seq = sqlite3_column_int64(next_, 0);
    m.uniqueId = text(1);
    m.messageName = text(2);
    m.source = text(3);
    m.timeStampUs = sqlite3_column_int64(next_, 4);
    m.text = text(5);
    m.gzip = text(6) == "gzip";
    out.push_back(std::move(m));
  }
  if (rc != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
  sqlite3_reset(next_);
  return out;
}

bool CfxOutbox::Remove(const std::vector<OutboxSlot> &accepted) {
  if (accepted.empty()) return true;
  std::lock_guard<std::mutex> hold(mutex_);
  if (!Exec("BEGIN IMMEDIATE")) return false;
  int64_t count = 0, bytes = 0;
  bool ok = true;
  for (const OutboxSlot &slot : accepted) {
    sqlite3_bind_int64(remove_, 1, slot.seq);
    ok = sqlite3_step(remove_) == SQLITE_DONE;
    if (ok && sqlite3_changes(db_) > 0) {
      ++count;
      bytes += slot.bytes;
    }
    sqlite3_reset(remove_);
    if (!ok) break;
  }
  if (!ok) Fail(sqlite3_errmsg(db_));
  if (!ok || !Exec("COMMIT")) {
    Rollback();
    return false;
  }
  count_ -= count;
  bytes_ -= bytes;
  return true;
}

int64_t CfxOutbox::Count() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return count_;
}

int64_t CfxOutbox::Bytes() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return bytes_;
}

} // namespace qrx::cfx
