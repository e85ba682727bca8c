// A connection to a SQLite store file: write-ahead log, a busy timeout so processes sharing the
// file wait for each other, prepared statements kept for reuse.
#pragma once

#include "sql_connection.h"

#include <map>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace qrx::store {

class SqliteConnection final : public SqlConnection {
public:
  // Opens (creating when missing) the file; null with *error saying why (directory read-only,
  // not a database, ...).
  static std::unique_ptr<SqliteConnection> Open(const std::string &path, std::string *error);
  ~SqliteConnection() override;

  SqlDialect Dialect() const override { return SqlDialect::Sqlite; }
  bool Exec(const std::string &sql, const std::vector<SqlValue> &params = {},
            std::vector<SqlRow> *rows = nullptr) override;
  bool Begin() override;
  bool Commit() override;
  void Rollback() override;
  bool Alive() override { return true; }
  bool InsertMany(const std::string &table, const std::vector<std::string> &columns,
                  const std::vector<SqlValue> &values) override;
  const std::string &Path() const { return path_; }

private:
  SqliteConnection(sqlite3 *db, std::string path) : db_(db), path_(std::move(path)) {}
  sqlite3_stmt *Prepare(const std::string &sql);
  void Fail(int code, const std::string &what);
  // Binds params to stmt without copying them: they must outlive its next step.
  static void Bind(sqlite3_stmt *stmt, const SqlValue *params, size_t count);

  sqlite3 *db_;
  std::string path_;
  std::map<std::string, sqlite3_stmt *> statements_;
};

} // namespace qrx::store
