// Operator prompts that more than one front end may answer (the page, a terminal, the host):
// the first answer wins and the others are withdrawn.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qrx::web {

enum class AnswerSource { Page, Terminal, Host };
const char *AnswerSourceName(AnswerSource source); // "page", "terminal", "host"

struct PromptOutcome {
  bool answered = false;  // false: cancelled (by a front end, a newer prompt or shutdown)
  std::string text;       // the answer exactly as typed (UTF-8)
  AnswerSource source = AnswerSource::Page;
};

struct OpenPrompt {
  int station = 0;
  uint64_t id = 0;
  std::string pattern;
};

enum class AnswerResult { Accepted, NoMatch, Closed, TooLong };

class PromptBroker {
public:
  // Decides whether a text fits the prompt; called with one call at a time per prompt.
  using Matcher = std::function<bool(const std::string &text)>;
  // Told the station whose prompt opened or closed (on the thread that did it).
  using Listener = std::function<void(int station)>;

  static constexpr size_t kMaxAnswerBytes = 256; // barcodes are short; longer text is refused

  explicit PromptBroker(Listener onChange = {});
  ~PromptBroker();
  PromptBroker(const PromptBroker &) = delete;
  PromptBroker &operator=(const PromptBroker &) = delete;

  // Opens a prompt for the station and returns its id (never 0). A station asks one thing at a
  // time: a prompt still open for the station is cancelled first.
  uint64_t Open(int station, const std::string &pattern, Matcher matches);

  // Whether text fits the open prompt (station, id); false when that prompt is not open.
  bool Matches(int station, uint64_t id, const std::string &text);
  // The first answer that fits closes the prompt; the text is checked with the matcher here,
  // whatever the front end claimed.
  AnswerResult Answer(int station, uint64_t id, const std::string &text, AnswerSource source);
  // Cancel is an answer too: the first one, answer or cancel, decides. False when not open.
  bool Cancel(int station, uint64_t id, AnswerSource source);

  // Blocks until the prompt is closed and no matcher call of it is still running, so the caller
  // may then free what the matcher uses. An unknown id gives a cancelled outcome at once.
  PromptOutcome Wait(int station, uint64_t id);
  // False while the prompt is still open after the timeout.
  bool WaitFor(int station, uint64_t id, std::chrono::milliseconds timeout, PromptOutcome *outcome);
  bool IsOpen(int station, uint64_t id) const;
  std::vector<OpenPrompt> OpenPrompts() const;

  // Cancels every open prompt and refuses new ones (they open already cancelled).
  void Shutdown();

private:
  struct Slot {
    OpenPrompt prompt;
    Matcher matches;
    std::mutex matchMutex; // one matcher call at a time per prompt
    int matchersRunning = 0;
    bool open = true;
    PromptOutcome outcome;
  };
  std::shared_ptr<Slot> Find(int station, uint64_t id) const;
  bool CloseLocked(const std::shared_ptr<Slot> &slot, PromptOutcome outcome);
  // Runs the matcher outside the broker's lock; false when the prompt closed meanwhile.
  bool RunMatcher(const std::shared_ptr<Slot> &slot, const std::string &text, bool *fits);
  void Notify(int station);

  Listener onChange_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<int, std::shared_ptr<Slot>> slots_; // the latest prompt of each station
  uint64_t nextId_ = 1;
  bool shutdown_ = false;
};

} // namespace qrx::web
