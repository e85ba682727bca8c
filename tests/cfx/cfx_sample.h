// A unit record as the tests publish it, and an outlet that keeps what it is given.
#pragma once

#include "cfx_publisher.h"

#include <mutex>
#include <string>
#include <vector>

namespace qrx::testing {

// Two steps (the second failing), items with numeric and text limits, one item outside any
// step; the serial number, two IMEIs and a MAC address written, a MAC read back, a failed write.
store::UnitRecord SampleUnit(const std::string &serial, int threadIndex, int items = 3);

class KeepingOutlet : public cfx::CfxOutlet {
public:
  explicit KeepingOutlet(std::unique_ptr<cfx::CfxOutlet> next = nullptr) : next_(std::move(next)) {}
  void Post(const std::vector<cfx::CfxEnvelope> &envelopes, bool transient) override {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      for (const cfx::CfxEnvelope &e : envelopes) kept.push_back(cfx::Json::parse(e.ToText())); // as sent
    }
    if (next_) next_->Post(envelopes, transient);
  }
  void Close(std::chrono::milliseconds drain) override {
    if (next_) next_->Close(drain);
  }
  // What was posted so far; the publisher's heartbeat posts from its own thread.
  std::vector<cfx::Json> Kept() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return kept;
  }
  std::vector<cfx::Json> kept;

private:
  std::unique_ptr<cfx::CfxOutlet> next_;
  mutable std::mutex mutex_;
};

} // namespace qrx::testing
