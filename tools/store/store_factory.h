// Opens the results store and the identity pools that a host records its units in. The URL
// names the store: empty for the default SQLite file Results/results.db in the deployment
// directory, a PostgreSQL URL ("postgresql://...") for a store shared by many stations and
// machines. Null with *error set when the store cannot be opened.
#pragma once

#include "unit_record.h"

#include <memory>
#include <string>

namespace qrx::store {

std::unique_ptr<UnitSink> OpenUnitSink(const std::string &url, const std::string &deploymentDir,
                                       std::string *error);
std::unique_ptr<IdentitySource> OpenIdentitySource(const std::string &url,
                                                   const std::string &deploymentDir,
                                                   std::string *error);

} // namespace qrx::store
