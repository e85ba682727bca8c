// Registry changes must not overlap other stations' calls: stations start and end one at a
// time, and nobody runs a step while another station starts or ends.
#pragma once

#include <condition_variable>
#include <mutex>

namespace qrx::tools {

class StationTurns {
public:
  explicit StationTurns(int count) : count_(count) {}
  // Waits until phase has come and it is station's turn in it.
  void WaitTurn(int phase, int station) {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [&] { return phase_ == phase && turn_ == station; });
  }
  // The station whose turn it was is done; after the last one the next phase begins.
  void Done() {
    std::lock_guard<std::mutex> hold(m_);
    if (++turn_ > count_) {
      turn_ = 1;
      ++phase_;
    }
    cv_.notify_all();
  }
  void WaitPhase(int phase) {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [&] { return phase_ >= phase; });
  }
  // Everyone arrives before the phase ends.
  void Arrive(int phase) {
    std::lock_guard<std::mutex> hold(m_);
    if (phase_ == phase && ++arrived_ == count_) {
      arrived_ = 0;
      ++phase_;
    }
    cv_.notify_all();
  }

private:
  std::mutex m_;
  std::condition_variable cv_;
  int count_;
  int phase_ = 0, turn_ = 1, arrived_ = 0;
};

} // namespace qrx::tools
