// SQLite store connection: statements written with $N parameters run as ?N.
#include "sqlite_connection.h"

#include <sqlite3.h>

#include <cctype>

namespace qrx::store {

namespace {

constexpr int kBusyTimeoutMs = 15000;
constexpr size_t kMaxCachedStatements = 64;

SqlFailure Classify(int code) {
  switch (code & 0xff) {
  case SQLITE_FULL: return SqlFailure::Full;
  case SQLITE_READONLY:
  case SQLITE_CANTOPEN:
  case SQLITE_PERM:
  case SQLITE_AUTH: return SqlFailure::ReadOnly;
  case SQLITE_CORRUPT:
  case SQLITE_NOTADB: return SqlFailure::Corrupt;
  case SQLITE_BUSY:
  case SQLITE_LOCKED: return SqlFailure::Busy;
  case SQLITE_CONSTRAINT: return SqlFailure::Constraint;
  default: return SqlFailure::Other;
  }
}

const char *Advice(SqlFailure failure) {
  switch (failure) {
  case SqlFailure::Full: return " (the disk is full)";
  case SqlFailure::ReadOnly: return " (the store cannot be written: check the folder's permissions)";
  case SqlFailure::Corrupt: return " (the file is not a readable results store: move it aside)";
  case SqlFailure::Busy: return " (another process holds the store too long)";
  default: return "";
  }
}

// "$12" becomes "?12": SQLite reads "$12" as a named parameter, whose number is its order of
// first appearance rather than 12.
std::string NumberedParameters(const std::string &sql) {
  std::string out = sql;
  for (size_t i = 0; i + 1 < out.size(); ++i)
    if (out[i] == '$' && std::isdigit(static_cast<unsigned char>(out[i + 1])))
      out[i] = '?';
  return out;
}

} // namespace

std::unique_ptr<SqliteConnection> SqliteConnection::Open(const std::string &path,
                                                         std::string *error) {
  sqlite3 *db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  auto fail = [&](const std::string &what) {
    if (error)
      *error = "results store " + path + ": " + what + Advice(Classify(rc));
    sqlite3_close(db);
    return nullptr;
  };
  if (rc != SQLITE_OK)
    return fail(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // The journal mode answers the mode it ended in; anything but "wal" means the file could not
  // be switched (read-only folder, not a database).
  sqlite3_stmt *stmt = nullptr;
  rc = sqlite3_prepare_v2(db, "PRAGMA journal_mode=WAL", -1, &stmt, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_step(stmt);
  std::string mode;
  if (rc == SQLITE_ROW) {
    const unsigned char *text = sqlite3_column_text(stmt, 0);
    mode = text ? reinterpret_cast<const char *>(text) : "";
    rc = SQLITE_OK;
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_OK)
    return fail(sqlite3_errmsg(db));
  if (mode != "wal") {
    rc = SQLITE_READONLY;
    return fail("cannot use a write-ahead log (journal mode " + mode + ")");
  }
  // NORMAL in WAL mode: a committed unit survives the death of the process; only a power cut
  // may lose the last transactions.
  sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  // A batch of units is some megabytes of rows: a cache (4 MiB) that holds the pages a batch
  // changes until its commit, and a checkpoint after a few batches rather than every one, so
  // that pages changed by several batches go to the file (and to the disk's flush) once.
  sqlite3_exec(db, "PRAGMA cache_size=-4096", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "PRAGMA wal_autocheckpoint=8192", nullptr, nullptr, nullptr);
  return std::unique_ptr<SqliteConnection>(new SqliteConnection(db, path));
}

SqliteConnection::~SqliteConnection() {
  for (auto &[sql, stmt] : statements_)
    sqlite3_finalize(stmt);
  sqlite3_close(db_);
}

void SqliteConnection::Fail(int code, const std::string &what) {
  const SqlFailure failure = Classify(code);
  SetError(failure, "results store " + path_ + ": " + what + ": " + sqlite3_errmsg(db_) +
                        Advice(failure));
}

sqlite3_stmt *SqliteConnection::Prepare(const std::string &sql) {
  auto found = statements_.find(sql);
  if (found != statements_.end())
    return found->second;
  sqlite3_stmt *stmt = nullptr;
  const std::string text = NumberedParameters(sql);
  int rc = sqlite3_prepare_v2(db_, text.c_str(), static_cast<int>(text.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) {
    Fail(rc, "cannot prepare statement");
    sqlite3_finalize(stmt);
    return nullptr;
  }
  if (statements_.size() >= kMaxCachedStatements) {
    for (auto &[oldSql, old] : statements_)
      sqlite3_finalize(old);
    statements_.clear();
  }
  statements_.emplace(sql, stmt);
  return stmt;
}

void SqliteConnection::Bind(sqlite3_stmt *stmt, const SqlValue *params, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const int n = static_cast<int>(i + 1);
    const SqlValue &p = params[i];
    if (auto *v = std::get_if<int64_t>(&p))
      sqlite3_bind_int64(stmt, n, *v);
    else if (auto *d = std::get_if<double>(&p))
      sqlite3_bind_double(stmt, n, *d);
    else if (auto *s = std::get_if<std::string>(&p))
      sqlite3_bind_text(stmt, n, s->data(), static_cast<int>(s->size()), SQLITE_STATIC);
    else
      sqlite3_bind_null(stmt, n);
  }
}

bool SqliteConnection::InsertMany(const std::string &table, const std::vector<std::string> &columns,
                                  const std::vector<SqlValue> &values) {
  ClearError();
  if (columns.empty() || values.empty())
    return true;
  std::string sql = "INSERT INTO " + table + " (";
  for (size_t c = 0; c < columns.size(); ++c)
    sql += (c ? "," : "") + columns[c];
  sql += ") VALUES (";
  for (size_t c = 1; c <= columns.size(); ++c)
    sql += (c > 1 ? ",?" : "?") + std::to_string(c);
  sql += ")";
  sqlite3_stmt *stmt = Prepare(sql);
  if (!stmt)
    return false;
  for (size_t at = 0; at + columns.size() <= values.size(); at += columns.size()) {
    sqlite3_reset(stmt);
    Bind(stmt, values.data() + at, columns.size());
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
      Fail(rc, "statement failed");
      sqlite3_reset(stmt);
      return false;
    }
  }
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt); // the values bound are the caller's
  return true;
}

bool SqliteConnection::Exec(const std::string &sql, const std::vector<SqlValue> &params,
                            std::vector<SqlRow> *rows) {
  ClearError();
  sqlite3_stmt *stmt = Prepare(sql);
  if (!stmt)
    return false;
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  Bind(stmt, params.data(), params.size());
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (!rows)
      continue;
    SqlRow row;
    const int columns = sqlite3_column_count(stmt);
    for (int c = 0; c < columns; ++c) {
      if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
        row.emplace_back(std::nullopt);
        continue;
      }
      const unsigned char *text = sqlite3_column_text(stmt, c);
      row.emplace_back(std::string(reinterpret_cast<const char *>(text),
                                   static_cast<size_t>(sqlite3_column_bytes(stmt, c))));
    }
    rows->push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) {
    Fail(rc, "statement failed");
    sqlite3_reset(stmt);
    return false;
  }
  sqlite3_reset(stmt);
  return true;
}

bool SqliteConnection::Begin() { return Exec("BEGIN IMMEDIATE"); }
bool SqliteConnection::Commit() { return Exec("COMMIT"); }
void SqliteConnection::Rollback() {
  if (!sqlite3_get_autocommit(db_))
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

} // namespace qrx::store
