// Prompt broker: one open prompt per station, answered once, by whichever front end is first.
#include "prompt_broker.h"

namespace qrx::web {

const char *AnswerSourceName(AnswerSource source) {
  switch (source) {
  case AnswerSource::Page: return "page";
  case AnswerSource::Terminal: return "terminal";
  case AnswerSource::Host: break;
  }
  return "host";
}

PromptBroker::PromptBroker(Listener onChange) : onChange_(std::move(onChange)) {}

PromptBroker::~PromptBroker() { Shutdown(); }

void PromptBroker::Notify(int station) {
  if (onChange_) onChange_(station);
}

uint64_t PromptBroker::Open(int station, const std::string &pattern, Matcher matches) {
  auto slot = std::make_shared<Slot>();
  slot->prompt.station = station;
  slot->prompt.pattern = pattern;
  slot->matches = std::move(matches);
  uint64_t id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = nextId_++;
    slot->prompt.id = id;
    auto it = slots_.find(station);
    if (it != slots_.end()) CloseLocked(it->second, PromptOutcome{});
    if (shutdown_) slot->open = false;
    slots_[station] = slot;
  }
  changed_.notify_all();
  Notify(station);
  return id;
}

std::shared_ptr<PromptBroker::Slot> PromptBroker::Find(int station, uint64_t id) const {
  auto it = slots_.find(station);
  if (it == slots_.end() || it->second->prompt.id != id) return nullptr;
  return it->second;
}

bool PromptBroker::CloseLocked(const std::shared_ptr<Slot> &slot, PromptOutcome outcome) {
  if (!slot->open) return false;
  slot->open = false;
  slot->outcome = std::move(outcome);
  return true;
}

bool PromptBroker::RunMatcher(const std::shared_ptr<Slot> &slot, const std::string &text, bool *fits) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!slot->open) return false;
    ++slot->matchersRunning;
  }
  bool result = false;
  {
    std::lock_guard<std::mutex> one(slot->matchMutex);
    try {
      result = slot->matches && slot->matches(text);
    } catch (...) {
      result = false;
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    --slot->matchersRunning;
  }
  changed_.notify_all();
  *fits = result;
  return true;
}

bool PromptBroker::Matches(int station, uint64_t id, const std::string &text) {
  if (text.size() > kMaxAnswerBytes) return false;
  std::shared_ptr<Slot> slot;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slot = Find(station, id);
  }
  bool fits = false;
  return slot && RunMatcher(slot, text, &fits) && fits;
}

AnswerResult PromptBroker::Answer(int station, uint64_t id, const std::string &text,
                                  AnswerSource source) {
  if (text.size() > kMaxAnswerBytes) return AnswerResult::TooLong;
  std::shared_ptr<Slot> slot;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slot = Find(station, id);
  }
  if (!slot) return AnswerResult::Closed;
  bool fits = false;
  if (!RunMatcher(slot, text, &fits)) return AnswerResult::Closed;
  if (!fits) return AnswerResult::NoMatch;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Another front end may have answered while the matcher ran: the first close wins.
    if (!CloseLocked(slot, PromptOutcome{true, text, source})) return AnswerResult::Closed;
  }
  changed_.notify_all();
  Notify(station);
  return AnswerResult::Accepted;
}

bool PromptBroker::Cancel(int station, uint64_t id, AnswerSource source) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto slot = Find(station, id);
    if (!slot || !CloseLocked(slot, PromptOutcome{false, {}, source})) return false;
  }
  changed_.notify_all();
  Notify(station);
  return true;
}

PromptOutcome PromptBroker::Wait(int station, uint64_t id) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto slot = Find(station, id);
  if (!slot) return {};
  changed_.wait(lock, [&] { return !slot->open && slot->matchersRunning == 0; });
  return slot->outcome;
}

bool PromptBroker::WaitFor(int station, uint64_t id, std::chrono::milliseconds timeout,
                           PromptOutcome *outcome) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto slot = Find(station, id);
  if (!slot) {
    if (outcome) *outcome = {};
    return true;
  }
  if (!changed_.wait_for(lock, timeout, [&] { return !slot->open && slot->matchersRunning == 0; }))
    return false;
  if (outcome) *outcome = slot->outcome;
  return true;
}

bool PromptBroker::IsOpen(int station, uint64_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto slot = Find(station, id);
  return slot && slot->open;
}

std::vector<OpenPrompt> PromptBroker::OpenPrompts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<OpenPrompt> open;
  for (const auto &[station, slot] : slots_)
    if (slot->open) open.push_back(slot->prompt);
  return open;
}

void PromptBroker::Shutdown() {
  std::vector<int> closed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shutdown_ = true;
    for (auto &[station, slot] : slots_)
      if (CloseLocked(slot, PromptOutcome{})) closed.push_back(station);
  }
  changed_.notify_all();
  for (int station : closed) Notify(station);
}

} // namespace qrx::web
