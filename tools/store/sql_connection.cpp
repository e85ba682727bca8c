// Helpers shared by both kinds of store connection.
#include "sql_connection.h"

namespace qrx::store {

std::optional<std::string> QueryScalar(SqlConnection &connection, const std::string &sql,
                                       const std::vector<SqlValue> &params) {
  std::vector<SqlRow> rows;
  if (!connection.Exec(sql, params, &rows) || rows.empty() || rows[0].empty())
    return std::nullopt;
  return rows[0][0];
}

bool SqlConnection::InsertMany(const std::string &table, const std::vector<std::string> &columns,
                               const std::vector<SqlValue> &values) {
  if (columns.empty())
    return true;
  std::vector<std::vector<SqlValue>> rows;
  rows.reserve(values.size() / columns.size());
  for (size_t at = 0; at + columns.size() <= values.size(); at += columns.size())
    rows.emplace_back(values.begin() + static_cast<ptrdiff_t>(at),
                      values.begin() + static_cast<ptrdiff_t>(at + columns.size()));
  return InsertRows(*this, table, columns, rows);
}

bool InsertRows(SqlConnection &connection, const std::string &table,
                const std::vector<std::string> &columns,
                const std::vector<std::vector<SqlValue>> &rows, const std::string &suffix) {
  // 100 rows of up to 20 columns stay far below both engines' parameter limits.
  constexpr size_t kRowsPerStatement = 100;
  std::string head = "INSERT INTO " + table + " (";
  for (size_t c = 0; c < columns.size(); ++c)
    head += (c ? "," : "") + columns[c];
  head += ") VALUES ";
  for (size_t first = 0; first < rows.size(); first += kRowsPerStatement) {
    const size_t last = std::min(rows.size(), first + kRowsPerStatement);
    std::string sql = head;
    std::vector<SqlValue> params;
    params.reserve((last - first) * columns.size());
    for (size_t r = first; r < last; ++r) {
      sql += r == first ? "(" : ",(";
      for (size_t c = 0; c < columns.size(); ++c) {
        params.push_back(c < rows[r].size() ? rows[r][c] : SqlValue{});
        sql += (c ? ",$" : "$") + std::to_string(params.size());
      }
      sql += ")";
    }
    sql += suffix;
    if (!connection.Exec(sql, params))
      return false;
  }
  return true;
}

} // namespace qrx::store
