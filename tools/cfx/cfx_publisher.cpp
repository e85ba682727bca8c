// Station events to CFX messages, in the order CFX receivers expect for a unit.
#include "cfx_publisher.h"

#include "cfx_format.h"

namespace qrx::cfx {

namespace {

// Units started and never ended (a collector that lost a host) are forgotten past this many.
constexpr size_t kMaxOpenUnits = 10000;

} // namespace

int StateCode(StationState state) {
  switch (state) {
  case StationState::Starting: return 6500;
  case StationState::AwaitingUnit: return 2200;
  case StationState::WaitingForOperator: return 2100;
  case StationState::Testing: return 1100;
  case StationState::Ended: return 6500;
  case StationState::FailedToStart: return 5000;
  }
  return 6000;
}

CfxPublisher::CfxPublisher(Settings settings, std::unique_ptr<CfxOutlet> outlet)
    : settings_(std::move(settings)), outlet_(std::move(outlet)) {}

CfxPublisher::~CfxPublisher() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (heartbeat_.joinable()) heartbeat_.join();
  if (outlet_) outlet_->Close(std::chrono::milliseconds(0));
}

CfxEnvelope CfxPublisher::Envelope(const char *name, std::string body, int64_t timeUs,
                                   const std::string &key) const {
  std::string id;
  if (!key.empty()) id = CfxFormat::GuidFrom(settings_.handle + '|' + key + '|' + name);
  return CfxEnvelope::Make(name, settings_.handle, std::move(body), timeUs, std::move(id));
}

std::string CfxPublisher::TransactionOf(const std::string &unitId) {
  return CfxFormat::IsGuid(unitId) ? unitId : CfxFormat::GuidFrom("transaction|" + unitId);
}

void CfxPublisher::OnCollectorStarted() {
  std::lock_guard<std::mutex> hold(mutex_);
  outlet_->Post({Envelope(names::kEndpointConnected, CfxMessages::EndpointConnected(settings_.handle))}, false);
  // The first heartbeat goes with the connection (and waits for the broker like any message);
  // the later ones only while the broker takes them.
  outlet_->Post({HeartbeatEnvelope()}, false);
  if (!heartbeat_.joinable() && settings_.heartbeat.count() > 0)
    heartbeat_ = std::thread([this] { Beat(); });
}

CfxEnvelope CfxPublisher::HeartbeatEnvelope() const {
  std::vector<CfxFault> active;
  for (const auto &[key, fault] : faults_) active.push_back(fault);
  const int64_t periodUs = std::chrono::duration_cast<std::chrono::microseconds>(settings_.heartbeat).count();
  return Envelope(names::kHeartbeat, CfxMessages::Heartbeat(settings_.handle, periodUs, active));
}

void CfxPublisher::Beat() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, settings_.heartbeat, [this] { return stopping_; }))
    outlet_->Post({HeartbeatEnvelope()}, true);
}

void CfxPublisher::OnCollectorStopping() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (stopped_) return;
    stopped_ = true;
    stopping_ = true;
    outlet_->Post({Envelope(names::kEndpointShuttingDown, CfxMessages::EndpointShuttingDown(settings_.handle))},
                  false);
  }
  wake_.notify_all();
  if (heartbeat_.joinable()) heartbeat_.join();
  outlet_->Close(settings_.drainAtStop);
}

void CfxPublisher::ChangeState(int station, int code, int64_t timeUs, const CfxFault *fault,
                               const std::string &key, std::vector<CfxEnvelope> *out) {
  Station &s = stations_[station];
  if (s.known && s.code == code && !fault) return;
  std::optional<int64_t> duration;
  if (s.known && timeUs >= s.sinceUs) duration = timeUs - s.sinceUs;
  out->push_back(Envelope(names::kStationStateChanged,
                          CfxMessages::StationStateChanged(s.code, duration, code, fault), timeUs,
                          key.empty() ? key : key + '|' + std::to_string(code)));
  s.code = code;
  s.sinceUs = timeUs;
  s.known = true;
}

CfxPublisher::Work &CfxPublisher::Begin(const store::UnitRecord &header, std::vector<CfxEnvelope> *out) {
  if (work_.size() >= kMaxOpenUnits) work_.erase(work_.begin());
  Work &work = work_[header.unitId];
  work.transactionId = TransactionOf(header.unitId);
  work.identifiedBySerial = !header.serialNumber.empty();
  const int64_t at = header.startedUs ? header.startedUs : CfxFormat::NowMicros();
  out->push_back(Envelope(names::kWorkStarted, CfxMessages::WorkStarted(header, work.transactionId), at,
                          header.unitId));
  ChangeState(header.threadIndex, StateCode(StationState::Testing), at, nullptr, header.unitId, out);
  return work;
}

void CfxPublisher::OnUnitStarted(const store::UnitRecord &header) {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<CfxEnvelope> out;
  Begin(header, &out);
  outlet_->Post(out, false);
}

void CfxPublisher::OnUnitsEnded(const store::UnitRecord *units, size_t count) {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<CfxEnvelope> out;
  for (size_t i = 0; i < count; ++i) End(units[i], &out);
  if (!out.empty()) outlet_->Post(out, false);
}

void CfxPublisher::End(const store::UnitRecord &unit, std::vector<CfxEnvelope> *outList) {
  std::vector<CfxEnvelope> &out = *outList;
  auto it = work_.find(unit.unitId);
  // A unit whose start this publisher did not see (the collector started mid-unit) gets its
  // WorkStarted now, so every WorkCompleted has one.
  Work work = it != work_.end() ? it->second : Begin(unit, &out);
  work_.erase(unit.unitId);
  const int64_t at = unit.endedUs ? unit.endedUs : CfxFormat::NowMicros();
  const std::string &key = unit.unitId;
  out.push_back(Envelope(names::kUnitsTested, CfxMessages::UnitsTested(unit, work.transactionId), at, key));
  if (auto personalized = CfxMessages::UnitsPersonalized(unit, work.transactionId))
    out.push_back(Envelope(names::kUnitsPersonalized, std::move(*personalized), at, key));
  std::optional<std::string> primary;
  if (!work.identifiedBySerial && !unit.serialNumber.empty()) primary = unit.serialNumber;
  out.push_back(Envelope(names::kWorkCompleted, CfxMessages::WorkCompleted(unit, work.transactionId, primary),
                         at, key));
  ChangeState(unit.threadIndex, StateCode(StationState::AwaitingUnit), at, nullptr, key + "|end", &out);
}

void CfxPublisher::OnStationState(int station, StationState state, const std::string &why,
                                  const std::string &key, int64_t atUs) {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<CfxEnvelope> out;
  const int64_t now = atUs ? atUs : CfxFormat::NowMicros();
  if (state == StationState::FailedToStart) {
    CfxFault fault;
    fault.occurrenceId = key.empty() ? CfxFormat::NewGuid() : CfxFormat::GuidFrom(settings_.handle + '|' + key + "|fault");
    fault.faultCode = "STATION_START";
    fault.description = why.empty() ? "the station could not start" : why;
    fault.occurredUs = now;
    ChangeState(station, StateCode(state), now, &fault, key, &out);
  } else {
    ChangeState(station, StateCode(state), now, nullptr, key, &out);
  }
  outlet_->Post(out, false);
}

void CfxPublisher::OnFault(int station, const std::string &code, const std::string &description,
                           const std::string &key, int64_t atUs) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto active = std::make_pair(station, code);
  if (faults_.count(active)) return; // still active: said once
  CfxFault fault;
  fault.occurrenceId = key.empty() ? CfxFormat::NewGuid() : CfxFormat::GuidFrom(settings_.handle + '|' + key + "|fault");
  fault.faultCode = code;
  fault.description = description;
  fault.occurredUs = atUs ? atUs : CfxFormat::NowMicros();
  faults_[active] = fault;
  outlet_->Post({Envelope(names::kFaultOccurred, CfxMessages::FaultOccurred(fault), fault.occurredUs, key)}, false);
}

void CfxPublisher::OnFaultCleared(int station, const std::string &code, const std::string &key) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto it = faults_.find(std::make_pair(station, code));
  if (it == faults_.end()) return;
  const std::string id = it->second.occurrenceId;
  faults_.erase(it);
  outlet_->Post({Envelope(names::kFaultCleared, CfxMessages::FaultCleared(id), 0, key.empty() ? key : key + '|' + code)},
                false);
}

} // namespace qrx::cfx
