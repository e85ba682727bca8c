// A connection to a PostgreSQL results store through libpq.
#pragma once

#include "sql_connection.h"

#include <memory>

struct pg_conn;
struct pg_result;

namespace qrx::store {

class PgConnection final : public SqlConnection {
public:
  // Checks that url is a connection URL libpq understands (false with *error otherwise).
  static bool ValidUrl(const std::string &url, std::string *error);
  // Connects; null with *error saying why (wrong URL, server not reachable, refused login).
  static std::unique_ptr<PgConnection> Open(const std::string &url, std::string *error);
  // True when a server answers at url, whether or not it accepts the login: a failed Open with
  // a server that answers is a wrong URL (database, user, password), not a server that is away.
  static bool ServerAnswers(const std::string &url);
  ~PgConnection() override;

  SqlDialect Dialect() const override { return SqlDialect::Postgres; }
  bool Exec(const std::string &sql, const std::vector<SqlValue> &params = {},
            std::vector<SqlRow> *rows = nullptr) override;
  bool Begin() override { return Exec("BEGIN"); }
  bool Commit() override { return Exec("COMMIT"); }
  void Rollback() override;
  bool Alive() override;
  bool InsertMany(const std::string &table, const std::vector<std::string> &columns,
                  const std::vector<SqlValue> &values) override;

private:
  explicit PgConnection(pg_conn *conn) : conn_(conn) {}
  // Records why result (null: the connection itself) failed; false.
  bool Failed(const pg_result *result);
  pg_conn *conn_;
};

// The URL with any password replaced by "***", for messages.
std::string RedactUrl(const std::string &url);

} // namespace qrx::store
