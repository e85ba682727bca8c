// One connection to a results store, SQLite or PostgreSQL, behind the few operations the store
// needs: statements with numbered parameters ($1, $2, ...), rows as text, transactions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qrx::store {

enum class SqlDialect { Sqlite, Postgres };

// A statement parameter: NULL, an integer, a number or a text.
using SqlValue = std::variant<std::monostate, int64_t, double, std::string>;
using SqlRow = std::vector<std::optional<std::string>>;

// What went wrong, in classes a caller acts on: a lost server is spooled around, the others are
// reported to people.
enum class SqlFailure { None, ConnectionLost, Busy, Full, ReadOnly, Corrupt, Constraint, Other };

class SqlConnection {
public:
  virtual ~SqlConnection() = default;
  virtual SqlDialect Dialect() const = 0;
  // Runs one statement; rows (when given) receive its result rows, each column as text or null.
  virtual bool Exec(const std::string &sql, const std::vector<SqlValue> &params = {},
                    std::vector<SqlRow> *rows = nullptr) = 0;
  // A write transaction. SQLite takes the database's write lock at once (BEGIN IMMEDIATE), so
  // two processes never deadlock upgrading read locks.
  virtual bool Begin() = 0;
  virtual bool Commit() = 0;
  virtual void Rollback() = 0;
  // The connection still works (PostgreSQL: the server has not gone away).
  virtual bool Alive() = 0;
  // Appends rows to table in the caller's transaction: values holds them one after the other,
  // columns.size() values each. SQLite steps one prepared statement per row, PostgreSQL streams
  // them with COPY; other connections send multi-row INSERTs.
  virtual bool InsertMany(const std::string &table, const std::vector<std::string> &columns,
                          const std::vector<SqlValue> &values);

  const std::string &Error() const { return error_; }
  SqlFailure Failure() const { return failure_; }

protected:
  void SetError(SqlFailure failure, std::string text) {
    failure_ = failure;
    error_ = std::move(text);
  }
  void ClearError() {
    failure_ = SqlFailure::None;
    error_.clear();
  }

private:
  std::string error_;
  SqlFailure failure_ = SqlFailure::None;
};

// Runs a statement and gives back the first column of its first row, if any.
std::optional<std::string> QueryScalar(SqlConnection &connection, const std::string &sql,
                                       const std::vector<SqlValue> &params = {});

// Builds and runs multi-row INSERTs: "INSERT INTO table (cols) VALUES ($1,$2),($3,$4)..." in
// chunks, so 200 items cost a handful of round trips to a server rather than 200.
bool InsertRows(SqlConnection &connection, const std::string &table,
                const std::vector<std::string> &columns,
                const std::vector<std::vector<SqlValue>> &rows,
                const std::string &suffix = "");

// Runs body inside a transaction; commits when it returns true, rolls back otherwise.
template <typename Body> bool InTransaction(SqlConnection &connection, Body &&body) {
  if (!connection.Begin())
    return false;
  if (!body() || !connection.Commit()) {
    connection.Rollback();
    return false;
  }
  return true;
}

} // namespace qrx::store
