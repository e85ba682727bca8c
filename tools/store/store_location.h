// Where a --db URL points: a SQLite file or a PostgreSQL server (with the local spool beside
// the deployment's results).
#pragma once

#include <string>

namespace qrx::store {

struct StoreLocation {
  bool postgres = false;
  std::string sqlitePath; // SQLite: the store file
  std::string url;        // PostgreSQL: the connection URL
  std::string spoolPath;  // PostgreSQL: Results/spool.db of the deployment
};

// False with *error for a URL of another scheme (mysql://, http://, ...) or a malformed
// PostgreSQL URL. Relative SQLite paths are taken from the current directory; the default
// store's Results folder is created when missing.
bool ResolveStoreLocation(const std::string &url, const std::string &deploymentDir,
                          StoreLocation *location, std::string *error);

} // namespace qrx::store
