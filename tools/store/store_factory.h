// Opening a results store and its identity pools from a --db URL: empty for the deployment's
// own SQLite file Results/results.db, "postgresql://..." or "postgres://..." for a PostgreSQL
// server, "sqlite:PATH" or a plain PATH for another SQLite file.
// Null with *error set when the store cannot be opened.
#pragma once

#include "unit_record.h"
#include "unit_store_writer.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace qrx::store {

// The store's writer itself, for a program that writes from a thread of its own (qrx-collector):
// a SQLite file, or a PostgreSQL server with the deployment's spool in front of it.
std::unique_ptr<UnitStoreWriter> OpenUnitStoreWriter(const std::string &url,
                                                     const std::string &deploymentDir,
                                                     StoreMessageHandler messages,
                                                     std::string *error);
std::unique_ptr<UnitSink> OpenUnitSink(const std::string &url, const std::string &deploymentDir,
                                       std::string *error);
// serverWait: how long an identity call waits for a PostgreSQL server that was reached before
// and went away (a restart), before it fails.
std::unique_ptr<IdentitySource> OpenIdentitySource(
    const std::string &url, const std::string &deploymentDir, std::string *error,
    std::chrono::milliseconds serverWait = std::chrono::seconds(15));

// Every unit an existing store holds, whole, oldest first (for reports). A SQLite file that
// does not exist is an error, never created. Empty with *error set on failure.
std::vector<UnitRecord> ReadStoredUnits(const std::string &url, const std::string &deploymentDir,
                                        std::string *error);

} // namespace qrx::store
