// Parsing --db URLs.
#include "store_location.h"

#include "pg_connection.h"

#include <filesystem>

namespace qrx::store {

namespace {

bool EnsureResultsFolder(const std::string &deploymentDir, std::string *folder,
                         std::string *error) {
  *folder = (deploymentDir.empty() ? std::string(".") : deploymentDir) + "/Results";
  std::error_code ec;
  std::filesystem::create_directory(*folder, ec);
  if (!ec)
    return true;
  if (error)
    *error = "cannot create the results folder " + *folder + ": " + ec.message();
  return false;
}

} // namespace

bool ResolveStoreLocation(const std::string &url, const std::string &deploymentDir,
                          StoreLocation *location, std::string *error) {
  StoreLocation l;
  std::string folder;
  if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0) {
    if (!PgConnection::ValidUrl(url, error) || !EnsureResultsFolder(deploymentDir, &folder, error))
      return false;
    l.postgres = true;
    l.url = url;
    l.spoolPath = folder + "/spool.db";
  } else if (url.empty()) {
    if (!EnsureResultsFolder(deploymentDir, &folder, error))
      return false;
    l.sqlitePath = folder + "/results.db";
  } else if (url.rfind("sqlite:", 0) == 0) {
    l.sqlitePath = url.substr(7);
    if (l.sqlitePath.rfind("//", 0) == 0) // sqlite:///abs/path or sqlite://rel/path
      l.sqlitePath.erase(0, 2);
  } else if (url.find("://") != std::string::npos) {
    if (error)
      *error = "wrong store URL \"" + RedactUrl(url) +
               "\": use postgresql://..., sqlite:PATH or a file path";
    return false;
  } else {
    l.sqlitePath = url;
  }
  if (!l.postgres && l.sqlitePath.empty()) {
    if (error)
      *error = "wrong store URL \"" + url + "\": the SQLite file name is empty";
    return false;
  }
  *location = l;
  return true;
}

} // namespace qrx::store
