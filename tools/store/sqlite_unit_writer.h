// Writes units straight into a SQLite results store.
#pragma once

#include "sqlite_connection.h"
#include "unit_store_writer.h"

#include <memory>

namespace qrx::store {

class SqliteUnitWriter final : public UnitStoreWriter {
public:
  // Opens the store file and brings its schema up to date; null with *error when it cannot.
  static std::unique_ptr<SqliteUnitWriter> Open(const std::string &path, std::string *error);
  bool Write(const UnitOperation &operation) override;
  bool WriteBatch(const std::vector<UnitOperation> &operations) override;
  bool ReadPositions(JournalPositions *positions, std::string *error) override;
  std::string LastError() const override { return error_; }

private:
  explicit SqliteUnitWriter(std::unique_ptr<SqliteConnection> connection)
      : connection_(std::move(connection)) {}
  std::unique_ptr<SqliteConnection> connection_;
  std::string error_;
};

// Writes one operation in its own transaction on any store connection.
bool WriteUnitOperation(SqlConnection &connection, const UnitOperation &operation);
// Writes the operations in one transaction.
bool WriteUnitOperations(SqlConnection &connection, const std::vector<UnitOperation> &operations);

} // namespace qrx::store
