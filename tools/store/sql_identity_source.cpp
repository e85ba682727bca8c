// Identity pool states: free -> reserved -> written -> verified, or burned. A reserved value
// returns to free when its unit ends without writing it; a written or verified value of a unit
// that failed becomes burned and is never issued again.
#include "sql_identity_source.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

namespace qrx::store {

namespace {

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool KnownKind(const std::string &kind, std::string *error) {
  if (kind == "imei" || kind == "mac" || kind == "sn")
    return true;
  if (error)
    *error = "no identity pool kind \"" + kind + "\" (pools hold imei, mac and sn)";
  return false;
}

std::string Upper(const std::string &kind) {
  std::string s = kind;
  for (char &c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

} // namespace

SqlIdentitySource::SqlIdentitySource(ConnectionOpener opener, std::string storeName,
                                     StoreMessageHandler messages,
                                     std::chrono::milliseconds serverWait)
    : opener_(std::move(opener)), storeName_(std::move(storeName)),
      messages_(std::move(messages)), serverWait_(serverWait) {}

bool SqlIdentitySource::WithConnection(
    const std::function<bool(SqlConnection &, std::string *)> &work, std::string *error) {
  const auto deadline = std::chrono::steady_clock::now() + serverWait_;
  for (int attempt = 0;; ++attempt) {
    // A lost server is retried: once at once, then (when this source had reached it before)
    // every quarter second until serverWait has passed.
    auto mayRetry = [&] {
      if (attempt == 0)
        return true;
      if (!everConnected_ || std::chrono::steady_clock::now() >= deadline)
        return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      return true;
    };
    std::unique_ptr<SqlConnection> connection;
    {
      std::lock_guard lock(mutex_);
      if (!idle_.empty()) {
        connection = std::move(idle_.back());
        idle_.pop_back();
      }
    }
    if (!connection) {
      std::string why;
      connection = opener_(&why);
      if (!connection) {
        // A station that finds no idle connection (the others hold theirs) waits for the
        // server like the rest instead of failing at once.
        if (everConnected_ && mayRetry())
          continue;
        if (error)
          *error = "identity pools unavailable: " + why;
        return false;
      }
      everConnected_ = true;
    }
    std::string why;
    const bool ok = work(*connection, &why);
    const bool lost = !ok && !connection->Alive();
    if (!lost) {
      std::lock_guard lock(mutex_);
      idle_.push_back(std::move(connection));
    }
    if (ok)
      return true;
    if (!lost || !mayRetry()) {
      if (error)
        *error = why;
      return false;
    }
  }
}

bool SqlIdentitySource::Reserve(const std::string &unitId, const std::string &kind,
                                std::string *value, std::string *error) {
  if (!KnownKind(kind, error))
    return false;
  if (unitId.empty()) {
    if (error)
      *error = "an identity is reserved for a unit, and the unit id is empty";
    return false;
  }
  return WithConnection(
      [&](SqlConnection &db, std::string *why) {
        auto dbError = [&](const char *what) {
          *why = std::string(what) + " " + Upper(kind) + " from " + storeName_ + ": " + db.Error();
          return false;
        };
        std::string found;
        std::vector<SqlRow> rows;
        bool ok;
        if (db.Dialect() == SqlDialect::Postgres) {
          // One statement, one round trip: what the unit already holds, else the first free
          // value. SKIP LOCKED lets concurrent stations take different rows instead of queueing
          // on one.
          ok = db.Exec(
              "WITH held AS (SELECT value FROM identity_values WHERE unit_id = $1 AND kind = $2 "
              "AND pool_id IS NOT NULL AND state IN ('reserved', 'written', 'verified') "
              "ORDER BY pool_id, ordinal LIMIT 1), "
              "taken AS (UPDATE identity_values SET state = 'reserved', unit_id = $1, "
              "updated_us = $3 WHERE NOT EXISTS (SELECT 1 FROM held) AND (kind, value) IN "
              "(SELECT kind, value FROM identity_values WHERE kind = $2 AND state = 'free' "
              "ORDER BY pool_id, ordinal LIMIT 1 FOR UPDATE SKIP LOCKED) RETURNING value) "
              "SELECT value FROM held UNION ALL SELECT value FROM taken",
              {unitId, kind, NowUs()}, &rows);
        } else {
          ok = InTransaction(db, [&] {
            // The unit asking again gets what it already holds.
            if (!db.Exec("SELECT value FROM identity_values WHERE unit_id = $1 AND kind = $2 "
                         "AND pool_id IS NOT NULL AND state IN ('reserved', 'written', "
                         "'verified') ORDER BY pool_id, ordinal LIMIT 1",
                         {unitId, kind}, &rows))
              return false;
            return !rows.empty() ||
                   db.Exec("UPDATE identity_values SET state = 'reserved', unit_id = $1, "
                           "updated_us = $3 WHERE (kind, value) IN (SELECT kind, value FROM "
                           "identity_values WHERE kind = $2 AND state = 'free' "
                           "ORDER BY pool_id, ordinal LIMIT 1) RETURNING value",
                           {unitId, kind, NowUs()}, &rows);
          });
        }
        if (ok && !rows.empty() && rows[0][0])
          found = *rows[0][0];
        if (!ok)
          return dbError("cannot reserve an");
        if (found.empty()) {
          const auto pools = QueryScalar(
              db, "SELECT COUNT(*) FROM identity_pools WHERE kind = $1", {kind});
          *why = pools && *pools != "0"
                     ? "the " + Upper(kind) + " pool of " + storeName_ +
                           " is empty: load more values with qrx-ids add-" + kind
                     : storeName_ + " has no " + Upper(kind) +
                           " pool: load one with qrx-ids add-" + kind;
          return false;
        }
        *value = found;
        return true;
      },
      error);
}

bool SqlIdentitySource::Mark(const std::string &unitId, const std::string &kind,
                             const std::string &value, const char *state, std::string *error) {
  if (unitId.empty() || value.empty()) {
    if (error)
      *error = "an identity is recorded for a unit and a value, and one of them is empty";
    return false;
  }
  const std::string target = state;
  return WithConnection(
      [&](SqlConnection &db, std::string *why) {
        std::string refusal;
        const bool ok = InTransaction(db, [&] {
          // A value from outside every pool (typed by the operator) is recorded too, so it is
          // never programmed into a second device either.
          std::vector<SqlRow> rows;
          if (!db.Exec("INSERT INTO identity_values (kind, value, pool_id, ordinal, state, "
                       "unit_id, updated_us) VALUES ($1, $2, NULL, 0, $3, $4, $5) "
                       "ON CONFLICT (kind, value) DO NOTHING RETURNING value",
                       {kind, value, target, unitId, NowUs()}, &rows))
            return false;
          if (!rows.empty())
            return true;
          const char *lock = db.Dialect() == SqlDialect::Postgres ? " FOR UPDATE" : "";
          if (!db.Exec(std::string("SELECT state, unit_id FROM identity_values WHERE kind = $1 "
                                   "AND value = $2") +
                           lock,
                       {kind, value}, &rows) ||
              rows.empty())
            return false;
          const std::string current = rows[0][0].value_or("");
          const std::string holder = rows[0][1].value_or("");
          if (holder != unitId && (current == "reserved" || current == "written" ||
                                   current == "verified")) {
            refusal = Upper(kind) + " " + value + " is " + current + " for unit " + holder +
                      ", not for unit " + unitId;
            return true;
          }
          // Verified stays verified when the unit writes the value again.
          const std::string next = current == "verified" && holder == unitId ? current : target;
          return db.Exec("UPDATE identity_values SET state = $3, unit_id = $4, updated_us = $5 "
                         "WHERE kind = $1 AND value = $2",
                         {kind, value, next, unitId, NowUs()});
        });
        if (!ok) {
          *why = "cannot record " + Upper(kind) + " " + value + " as " + target + " in " +
                 storeName_ + ": " + db.Error();
          return false;
        }
        if (!refusal.empty()) {
          *why = refusal;
          return false;
        }
        return true;
      },
      error);
}

bool SqlIdentitySource::MarkWritten(const std::string &unitId, const std::string &kind,
                                    const std::string &value, std::string *error) {
  return Mark(unitId, kind, value, "written", error);
}

bool SqlIdentitySource::MarkVerified(const std::string &unitId, const std::string &kind,
                                     const std::string &value, std::string *error) {
  return Mark(unitId, kind, value, "verified", error);
}

bool SqlIdentitySource::MayProgram(const std::string &unitId, const std::string &kind,
                                   const std::string &value, std::string *error) {
  return WithConnection(
      [&](SqlConnection &db, std::string *why) {
        std::vector<SqlRow> rows;
        if (!db.Exec("SELECT state, unit_id FROM identity_values WHERE kind = $1 AND value = $2",
                     {kind, value}, &rows)) {
          *why = "cannot check " + Upper(kind) + " " + value + " in " + storeName_ + ": " +
                 db.Error();
          return false;
        }
        if (rows.empty())
          return true;
        const std::string state = rows[0][0].value_or("");
        const std::string holder = rows[0][1].value_or("");
        if (holder == unitId)
          return true;
        if (state == "verified") {
          *why = Upper(kind) + " " + value + " is already verified on unit " + holder +
                 ": programming it again would give two devices one identity";
          return false;
        }
        if (state == "reserved" || state == "written") {
          *why = Upper(kind) + " " + value + " is " + state + " for unit " + holder +
                 ", which is still being tested";
          return false;
        }
        return true;
      },
      error);
}

void SqlIdentitySource::EndUnit(const std::string &unitId, bool passed) {
  std::string error;
  const bool ok = WithConnection(
      [&](SqlConnection &db, std::string *why) {
        // One statement: reserved values go back to free; a failed unit's written and
        // verified values are burned.
        const bool done = db.Exec(
            "UPDATE identity_values SET "
            "state = CASE WHEN state = 'reserved' THEN 'free' ELSE 'burned' END, "
            "unit_id = CASE WHEN state = 'reserved' THEN NULL ELSE unit_id END, "
            "updated_us = $3 WHERE unit_id = $1 AND (state = 'reserved' OR "
            "($2 = 0 AND state IN ('written', 'verified')))",
            {unitId, int64_t{passed}, NowUs()});
        if (!done)
          *why = db.Error();
        return done;
      },
      &error);
  if (!ok) {
    const std::string text = "cannot close the identities of unit " + unitId + " in " +
                             storeName_ + ": " + error +
                             " (its reserved values stay reserved until released)";
    if (messages_)
      messages_(text);
    else
      std::fprintf(stderr, "qrx-store: %s\n", text.c_str());
  }
}

} // namespace qrx::store
