// Units for reports: from a results store (SQLite or PostgreSQL) or a JSON-lines file.
#include "unit_source.h"

#include "store/store_factory.h"
#include "store/unit_json.h"

#include <cstdio>
#include <fstream>

namespace qrx::web {

namespace {

// A line longer than this is not a unit record but a broken or hostile file.
constexpr size_t kMaxLineBytes = 64u << 20;

bool EndsWith(const std::string &text, const std::string &tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A results store rather than a file of units: a PostgreSQL URL, "sqlite:PATH", or a
// SQLite file by its usual endings.
bool NamesStore(const std::string &url) {
  for (const char *scheme : {"postgresql://", "postgres://", "sqlite:"})
    if (url.rfind(scheme, 0) == 0) return true;
  return EndsWith(url, ".db") || EndsWith(url, ".sqlite") || EndsWith(url, ".sqlite3");
}

bool FilePath(const std::string &url, std::string *path, std::string *error) {
  static const char *kSchemes[] = {"file://", "file:", "jsonl:"};
  for (const char *scheme : kSchemes) {
    std::string s = scheme;
    if (url.compare(0, s.size(), s) == 0) {
      *path = url.substr(s.size());
      return !path->empty() || (*error = "the URL names no file", false);
    }
  }
  auto colon = url.find("://");
  if (colon != std::string::npos) {
    *error = "'" + url.substr(0, colon) + "' sources are not readable by this build; give a JSON-lines file of units";
    return false;
  }
  *path = url;
  return !path->empty() || (*error = "no source given", false);
}

} // namespace

std::vector<qrx::store::UnitRecord> LoadUnits(const std::string &url, std::string *error) {
  std::string scratch;
  if (!error) error = &scratch;
  if (NamesStore(url)) return qrx::store::ReadStoredUnits(url, ".", error);
  std::vector<qrx::store::UnitRecord> units;
  std::string path;
  if (!FilePath(url, &path, error)) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return {};
  }
  std::string line;
  size_t number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.size() > kMaxLineBytes) {
      *error = path + ":" + std::to_string(number) + ": line too long";
      return {};
    }
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    auto object = nlohmann::json::parse(line, nullptr, false);
    if (object.is_discarded()) {
      *error = path + ":" + std::to_string(number) + ": not valid JSON";
      return {};
    }
    qrx::store::UnitRecord unit;
    std::string why;
    if (!UnitFromJson(object, &unit, &why)) {
      *error = path + ":" + std::to_string(number) + ": " + why;
      return {};
    }
    units.push_back(std::move(unit));
  }
  if (in.bad()) {
    *error = "cannot read " + path;
    return {};
  }
  error->clear();
  return units;
}

bool SaveUnits(const std::string &path, const std::vector<qrx::store::UnitRecord> &units,
               std::string *error) {
  std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      if (error) *error = "cannot create " + temp;
      return false;
    }
    for (const auto &unit : units) out << UnitToJsonLine(unit) << '\n';
    out.flush();
    if (!out) {
      if (error) *error = "cannot write " + temp;
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    if (error) *error = "cannot replace " + path;
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

} // namespace qrx::web
