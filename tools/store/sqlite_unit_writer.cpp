// SQLite results store writer: one transaction per operation.
#include "sqlite_unit_writer.h"

#include "schema_migrations.h"
#include "unit_tables.h"

namespace qrx::store {

namespace {
bool WriteInTransaction(SqlConnection &connection, const UnitOperation &operation) {
  if (!operation.unit.unitId.empty() &&
      !(operation.whole ? WriteWholeUnit(connection, operation.unit)
                        : WriteUnitHeader(connection, operation.unit)))
    return false;
  return operation.positions.empty() || WriteJournalPositions(connection, operation.positions);
}
} // namespace

bool UnitStoreWriter::WriteBatch(const std::vector<UnitOperation> &operations) {
  for (const UnitOperation &operation : operations)
    if (!Write(operation))
      return false;
  return true;
}

bool WriteUnitOperation(SqlConnection &connection, const UnitOperation &operation) {
  return InTransaction(connection, [&] { return WriteInTransaction(connection, operation); });
}

bool WriteUnitOperations(SqlConnection &connection, const std::vector<UnitOperation> &operations) {
  return InTransaction(connection, [&] {
    // Whole units in a row are written together; a header (which must not overwrite a whole
    // record written before it) ends such a run. Positions follow their units.
    std::vector<const UnitRecord *> whole;
    std::vector<JournalPosition> positions;
    auto flush = [&] {
      const bool ok = WriteWholeUnits(connection, whole) &&
                      (positions.empty() || WriteJournalPositions(connection, positions));
      whole.clear();
      positions.clear();
      return ok;
    };
    for (const UnitOperation &operation : operations) {
      if (!operation.unit.unitId.empty() && !operation.whole) {
        if (!flush() || !WriteInTransaction(connection, operation))
          return false;
        continue;
      }
      if (!operation.unit.unitId.empty())
        whole.push_back(&operation.unit);
      positions.insert(positions.end(), operation.positions.begin(), operation.positions.end());
    }
    return flush();
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

bool SqliteUnitWriter::WriteBatch(const std::vector<UnitOperation> &operations) {
  if (WriteUnitOperations(*connection_, operations)) {
    error_.clear();
    return true;
  }
  error_ = "cannot record " + std::to_string(operations.size()) +
           " unit(s): " + connection_->Error();
  return false;
}

bool SqliteUnitWriter::ReadPositions(JournalPositions *positions, std::string *error) {
  if (ReadJournalPositions(*connection_, positions))
    return true;
  if (error)
    *error = connection_->Error();
  return false;
}

} // namespace qrx::store
