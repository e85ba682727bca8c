// Identity pools over a results store (SQLite on one station PC, PostgreSQL for a factory): each
// value is issued exactly once across every thread, process and machine sharing the store.
#pragma once

#include "sql_connection.h"
#include "unit_record.h"
#include "unit_store_writer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace qrx::store {

using ConnectionOpener = std::function<std::unique_ptr<SqlConnection>(std::string *error)>;

class SqlIdentitySource final : public IdentitySource {
public:
  // opener makes a connection to the store whose schema is current; the source keeps one per
  // concurrently calling station thread. storeName names the store in messages.
  // serverWait: how long a call waits for a server that went away after this source had
  // reached it (a restart during a run), 0 for none. A server never reached fails at once.
  SqlIdentitySource(ConnectionOpener opener, std::string storeName,
                    StoreMessageHandler messages = {},
                    std::chrono::milliseconds serverWait = std::chrono::milliseconds(0));

  bool Reserve(const std::string &unitId, const std::string &kind, std::string *value,
               std::string *error) override;
  bool MarkWritten(const std::string &unitId, const std::string &kind, const std::string &value,
                   std::string *error) override;
  bool MarkVerified(const std::string &unitId, const std::string &kind, const std::string &value,
                    std::string *error) override;
  bool MayProgram(const std::string &unitId, const std::string &kind, const std::string &value,
                  std::string *error) override;
  void EndUnit(const std::string &unitId, bool passed) override;

private:
  // Runs work on a pooled connection; once more on a fresh one when the server went away.
  bool WithConnection(const std::function<bool(SqlConnection &, std::string *)> &work,
                      std::string *error);
  bool Mark(const std::string &unitId, const std::string &kind, const std::string &value,
            const char *state, std::string *error);

  ConnectionOpener opener_;
  std::string storeName_;
  StoreMessageHandler messages_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<SqlConnection>> idle_;
  const std::chrono::milliseconds serverWait_;
  std::atomic<bool> everConnected_{false};
};

} // namespace qrx::store
