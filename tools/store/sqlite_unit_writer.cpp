// SQLite results store writer: one transaction per operation.
#include "sqlite_unit_writer.h"

#include "schema_migrations.h"
#include "unit_tables.h"

namespace qrx::store {

bool WriteUnitOperation(SqlConnection &connection, const UnitOperation &operation) {
  return InTransaction(connection, [&] {
    return operation.whole ? WriteWholeUnit(connection, operation.unit)
                           : WriteUnitHeader(connection, operation.unit);
  });
}

std::unique_ptr<SqliteUnitWriter> SqliteUnitWriter::Open(const std::string &path,
                                                         std::string *error) {
  auto connection = SqliteConnection::Open(path, error);
  if (!connection || !MigrateSchema(*connection, error))
    return nullptr;
  return std::unique_ptr<SqliteUnitWriter>(new SqliteUnitWriter(std::move(connection)));
}

bool SqliteUnitWriter::Write(const UnitOperation &operation) {
  if (WriteUnitOperation(*connection_, operation)) {
    error_.clear();
    return true;
  }
  error_ = "cannot record unit " + operation.unit.unitId + ": " + connection_->Error();
  return false;
}

} // namespace qrx::store
