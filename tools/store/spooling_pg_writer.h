// Writes units into a PostgreSQL store; while the server cannot be reached they wait in a local
// SQLite spool and are forwarded in order when it is back.
#pragma once

#include "pg_connection.h"
#include "sqlite_connection.h"
#include "unit_store_writer.h"

#include <chrono>
#include <memory>

namespace qrx::store {

class SpoolingPgWriter final : public UnitStoreWriter {
public:
  // Null with *error only for a URL that can never work; an unreachable server is not an error
  // (units are spooled). messages receives the changes between direct writing and spooling.
  static std::unique_ptr<SpoolingPgWriter> Open(const std::string &url,
                                                const std::string &spoolPath,
                                                StoreMessageHandler messages, std::string *error);

  bool Write(const UnitOperation &operation) override;
  bool WriteBatch(const std::vector<UnitOperation> &operations) override;
  // The server's positions and the spool's, the later of each.
  bool ReadPositions(JournalPositions *positions, std::string *error) override;
  void Idle() override;
  std::string LastError() const override { return error_; }

  // Operations waiting in the spool (read from the file, so other processes' count too). Safe
  // to call from any thread.
  int64_t Spooled() const;

private:
  SpoolingPgWriter(std::string url, std::string spoolPath, StoreMessageHandler messages)
      : url_(std::move(url)), spoolPath_(std::move(spoolPath)), messages_(std::move(messages)) {}
  // Connected, or why not: the server is away (spool and retry) or refuses this store (a wrong
  // database, login or schema: retrying will not help).
  enum class Reach { Connected, Away, Refused };
  Reach Connect();
  bool OpenSpool();
  bool Spool(const std::vector<UnitOperation> &operations);
  // Keeps the positions of operations the server took in the spool too, so a collector that
  // starts while the server is away goes on from there.
  void NotePositions(const std::vector<UnitOperation> &operations);
  void ReportDown();
  // Forwards the spool's operations oldest first; true when it is empty afterwards.
  bool Forward();
  void Say(const std::string &text);

  std::string url_, spoolPath_;
  StoreMessageHandler messages_;
  std::unique_ptr<PgConnection> server_;
  std::unique_ptr<SqliteConnection> spool_;
  bool spooling_ = false; // operations may be waiting in the spool
  bool reportedDown_ = false;
  std::chrono::steady_clock::time_point nextConnect_{};
  std::string error_;
};

} // namespace qrx::store
