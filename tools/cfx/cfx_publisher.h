// What a station's collector tells the factory's message bus: the seam between the collector's
// events (collector up and down, units started and ended, station states, faults) and the CFX
// messages that go out for them.
#pragma once

#include "cfx_messages.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qrx::cfx {

// Where the publisher's envelopes go: the durable outbox and its sender, or a test's list.
class CfxOutlet {
public:
  virtual ~CfxOutlet() = default;
  // Hands over the envelopes of one event in order. A transient message (a heartbeat) is worth
  // sending only now: the outlet may drop it while the broker is away.
  virtual void Post(const std::vector<CfxEnvelope> &envelopes, bool transient) = 0;
  // Gives what is queued up to drain to go out, then stops.
  virtual void Close(std::chrono::milliseconds drain) { (void)drain; }
};

// What a station is doing, as the bus hears it (SEMI E10 codes in brackets).
enum class StationState {
  Starting,           // InitQRXInterface runs (6500)
  AwaitingUnit,       // between units (2200)
  WaitingForOperator, // a prompt waits for the operator (2100)
  Testing,            // a unit is tested (1100)
  Ended,              // the station has shut down (6500)
  FailedToStart,      // the station could not start (5000)
};
int StateCode(StationState state);

class CfxPublisher {
public:
  struct Settings {
    std::string handle;                                 // the station's CFX handle
    std::chrono::milliseconds heartbeat{std::chrono::seconds(60)};
    std::chrono::milliseconds drainAtStop{std::chrono::seconds(5)};
  };

  CfxPublisher(Settings settings, std::unique_ptr<CfxOutlet> outlet);
  ~CfxPublisher();

  // EndpointConnected, then a heartbeat at every period.
  void OnCollectorStarted();
  // EndpointShuttingDown; queued messages get a few seconds to go out.
  void OnCollectorStopping();
  // Messages of what was recorded carry ids derived from it: the unit id, or the key of the
  // journal event (its run and position). A collector that reads the same journal again (after
  // a crash, before the store had the units) publishes the same messages under the same ids,
  // never under new ones. An empty key: a fresh id.

  // WorkStarted with the unit's transaction (its unit id), and its station to testing.
  void OnUnitStarted(const store::UnitRecord &header);
  // UnitsTested, UnitsPersonalized (identities written), WorkCompleted, station awaiting a unit.
  void OnUnitEnded(const store::UnitRecord &unit) { OnUnitsEnded(&unit, 1); }
  // The same for units ended together (a journal read after a pause), queued in one go.
  void OnUnitsEnded(const store::UnitRecord *units, size_t count);
  // station: the thread index of the station. why: for a station that failed to start.
  // atUs: when it happened (0: now).
  void OnStationState(int station, StationState state, const std::string &why = "",
                      const std::string &key = "", int64_t atUs = 0);
  // A station cannot load a library or plug-in (code: the station's own code for it).
  void OnFault(int station, const std::string &code, const std::string &description,
               const std::string &key = "", int64_t atUs = 0);
  void OnFaultCleared(int station, const std::string &code, const std::string &key = "");

  // The transaction of a unit: its unit id when that is a GUID, else one derived from it.
  static std::string TransactionOf(const std::string &unitId);

  const std::string &Handle() const { return settings_.handle; }

private:
  struct Station {
    int code = 6000;
    int64_t sinceUs = 0;
    bool known = false;
  };
  struct Work {
    std::string transactionId;
    bool identifiedBySerial = false; // WorkStarted named the unit by its serial number
  };
  // key: what the id derives from ("" for a fresh one).
  CfxEnvelope Envelope(const char *name, std::string body, int64_t timeUs = 0, const std::string &key = "") const;
  void ChangeState(int station, int code, int64_t timeUs, const CfxFault *fault,
                   const std::string &key, std::vector<CfxEnvelope> *out);
  Work &Begin(const store::UnitRecord &header, std::vector<CfxEnvelope> *out);
  void End(const store::UnitRecord &unit, std::vector<CfxEnvelope> *out);
  CfxEnvelope HeartbeatEnvelope() const;
  void Beat();

  Settings settings_;
  std::unique_ptr<CfxOutlet> outlet_;
  std::mutex mutex_;
  std::map<int, Station> stations_;
  std::map<std::string, Work> work_;              // by unit id, while the unit runs
  std::map<std::pair<int, std::string>, CfxFault> faults_; // active, by station and code
  std::condition_variable wake_;
  bool stopping_ = false;
  bool stopped_ = false;
  std::thread heartbeat_;
};

} // namespace qrx::cfx
