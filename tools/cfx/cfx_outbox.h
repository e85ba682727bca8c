// The durable queue of CFX messages not yet accepted by the broker: a SQLite file beside the
// results store (write-ahead log). Messages go in before they are sent and leave only when the
// broker has accepted them; a resend takes the same body, so the same UniqueID. Bodies are kept
// as they go out (compressed or not), so the bound counts the bytes the broker will get.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace qrx::cfx {

struct OutboxMessage {
  int64_t seq = 0;          // order of queuing, set by the outbox
  std::string uniqueId;
  std::string messageName;
  std::string source;
  int64_t timeStampUs = 0;
  std::string text;         // the body as sent: the envelope's JSON, gzip-compressed if gzip
  bool gzip = false;
};

// A sent message as the sender keeps it until the broker has accepted it: its place and size.
struct OutboxSlot {
  int64_t seq = 0;
  int64_t bytes = 0;
};

class CfxOutbox {
public:
  // The bound that keeps a broker away for days from filling the disk. When a message would
  // pass it, the message is not queued (the oldest waiting messages keep their order and go
  // out first); the caller reports it.
  struct Limits {
    int64_t maxBytes = 256LL << 20;
    int64_t maxMessages = 1000000;
  };
  enum class Added { Queued, Full, Failed };

  // Opens (creating) the file; null with *error saying why.
  static std::unique_ptr<CfxOutbox> Open(const std::string &path, Limits limits, std::string *error);
  ~CfxOutbox();

  // Queues messages in one transaction (all or none; a batch of units at once costs one
  // commit); their seq fields are set. A message whose UniqueID is queued already is left out
  // (seq 0).
  Added Add(std::vector<OutboxMessage> *messages);
  // Up to max messages queued after seq afterSeq, oldest first.
  std::vector<OutboxMessage> Next(int64_t afterSeq, size_t max);
  // Removes accepted messages in one transaction.
  bool Remove(const std::vector<OutboxSlot> &accepted);
  int64_t Count() const;
  int64_t Bytes() const;
  const Limits &Bound() const { return limits_; }
  const std::string &Path() const { return path_; }
  std::string LastError() const;

private:
  CfxOutbox(sqlite3 *db, std::string path, Limits limits) : db_(db), path_(std::move(path)), limits_(limits) {}
  bool Exec(const char *sql);
  void Fail(const std::string &what);
  bool AddEncodingColumn();
  bool Prepare();
  void Rollback();

  mutable std::mutex mutex_;
  sqlite3 *db_;
  // Prepared once, reset after every use.
  sqlite3_stmt *insert_ = nullptr, *next_ = nullptr, *remove_ = nullptr;
  std::string path_;
  Limits limits_;
  int64_t count_ = 0, bytes_ = 0;
  std::string error_;
};

} // namespace qrx::cfx
