// Line monitor: the station model fed by station threads, the HTTP routes, and the event stream
// that sends browsers what changed since they last heard.
#include "line_monitor.h"

#include "html_text.h"
#include "line_page.h"
#include "report_builder.h"
#include "store/unit_json.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>

namespace qrx::web {

using store::VerdictName;

using nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

int64_t WallNowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string Dump(const json &j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); }

// Compares without stopping at the first difference, so the time taken tells nothing of where
// a guess went wrong.
bool SameSecret(const std::string &given, const std::string &secret) {
  if (given.size() != secret.size()) return false;
  unsigned diff = 0;
  for (size_t i = 0; i < secret.size(); ++i) diff |= unsigned(static_cast<unsigned char>(given[i] ^ secret[i]));
  return diff == 0;
}

// The host name part of a Host header ("127.0.0.1:8080" -> "127.0.0.1", "[::1]:80" -> "::1").
std::string HostName(const std::string &host) {
  if (!host.empty() && host[0] == '[') {
    auto close = host.find(']');
    return close == std::string::npos ? host : host.substr(1, close - 1);
  }
  auto colon = host.rfind(':');
  return colon == std::string::npos ? host : host.substr(0, colon);
}

void Reply(httplib::Response &res, int status, const json &body) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(Dump(body), "application/json");
}

json StationJson(const StationView &v, const std::vector<OpenPrompt> &prompts) {
  json items = json::array();
  for (const auto &i : v.items)
    items.push_back({{"name", i.name}, {"value", i.value}, {"lower", i.lower}, {"upper", i.upper},
                     {"verdict", i.verdict}, {"passed", i.passed}});
  json prompt = nullptr;
  for (const auto &p : prompts)
    if (p.station == v.station) prompt = {{"id", p.id}, {"pattern", p.pattern}};
  return {{"station", v.station}, {"product", v.product}, {"config", v.config},
          {"state", v.state}, {"unitId", v.unitId}, {"serialNumber", v.serialNumber},
          {"stepIndex", v.stepIndex}, {"step", v.step}, {"stepArguments", v.stepArguments},
          {"stepsDone", v.stepsDone}, {"stepsFailed", v.stepsFailed},
          {"download", {{"percent", v.downloadPercent}, {"state", v.downloadState}}},
          {"items", items}, {"lastSerial", v.lastSerial}, {"lastVerdict", v.lastVerdict},
          {"lastFailure", v.lastFailure}, {"message", v.message}, {"prompt", prompt},
          {"version", v.version}};
}

json FiguresJson(const LineFigures &f) {
  return {{"units", f.units}, {"passed", f.passed}, {"firstPassUnits", f.firstPassUnits},
          {"firstPassPassed", f.firstPassPassed}, {"firstPassYield", f.firstPassYield},
          {"unitsPerHour", f.unitsPerHour}};
}

} // namespace

struct LineMonitor::Stream {
  std::map<int, uint64_t> sent; // station -> version the browser has
  uint64_t lineVersion = 0;
  bool first = true;
  Clock::time_point lastSend{};
};

LineMonitor::LineMonitor(LineMonitorOptions options)
    : options_(std::move(options)), prompts_([this](int station) { OnPromptChanged(station); }) {}

LineMonitor::~LineMonitor() { Stop(); }

bool LineMonitor::IsLoopback(const std::string &address) {
  std::string a = address;
  if (a.size() > 2 && a.front() == '[' && a.back() == ']') a = a.substr(1, a.size() - 2);
  if (a == "localhost" || a == "::1" || a == "0:0:0:0:0:0:0:1") return true;
  // Dotted quad 127.x.y.z, each part a number up to 255.
  int parts = 0;
  size_t pos = 0;
  int first = -1;
  while (pos <= a.size()) {
    size_t dot = a.find('.', pos);
    std::string part = a.substr(pos, dot == std::string::npos ? std::string::npos : dot - pos);
    int value = -1;
    auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (part.empty() || part.size() > 3 || ec != std::errc() || end != part.data() + part.size() ||
        value > 255)
      return false;
    if (parts == 0) first = value;
    ++parts;
    if (dot == std::string::npos) break;
    pos = dot + 1;
  }
  return parts == 4 && first == 127;
}

bool LineMonitor::Start(std::string *error) {
  std::string scratch;
  if (!error) error = &scratch;
  if (server_) {
    *error = "already serving";
    return false;
  }
  if (!IsLoopback(options_.address) && options_.token.empty()) {
    *error = "serving on " + options_.address +
             " lets other machines answer prompts: give a token (--web-token) or bind to 127.0.0.1";
    return false;
  }
  if (options_.maxStreams == 0) options_.maxStreams = 1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
  }
  server_ = std::make_unique<httplib::Server>();
  // Each event stream keeps a worker, so the pool has room for every stream plus a few workers
  // for page loads, matches and answers.
  size_t workers = options_.maxStreams + 4;
  server_->new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
  server_->set_payload_max_length(options_.maxRequestBytes);
  server_->set_read_timeout(5, 0);
  server_->set_write_timeout(5, 0);
  server_->set_keep_alive_timeout(2); // an idle browser connection holds a worker at most this long
  server_->set_keep_alive_max_count(100);
  Route();
  int port = options_.port;
  if (port == 0) {
    port = server_->bind_to_any_port(options_.address);
    if (port <= 0) {
      *error = "cannot bind to " + options_.address;
      server_.reset();
      return false;
    }
  } else if (!server_->bind_to_port(options_.address, port)) {
    *error = "cannot bind to " + options_.address + ":" + std::to_string(port);
    server_.reset();
    return false;
  }
  port_ = port;
  listener_ = std::thread([this] { server_->listen_after_bind(); });
  // A stop before the listener runs would not reach its accept loop: wait until it does.
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

void LineMonitor::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  prompts_.Shutdown();
  if (server_) server_->stop();
  if (listener_.joinable()) listener_.join();
  server_.reset();
}

std::string LineMonitor::PageUrl() const {
  std::string host = options_.address.find(':') != std::string::npos && options_.address[0] != '['
                         ? "[" + options_.address + "]"
                         : options_.address;
  if (host == "0.0.0.0" || host == "[::]") host = "127.0.0.1";
  std::string url = "http://" + host + ":" + std::to_string(port_.load()) + "/";
  if (!options_.token.empty()) url += "#token=" + options_.token;
  return url;
}

// ---- the station model ----

StationView &LineMonitor::ViewLocked(int station) {
  auto [it, added] = stations_.try_emplace(station);
  if (added) it->second.station = station;
  return it->second;
}

void LineMonitor::Touch(StationView &view) { view.version = ++version_; }

void LineMonitor::StationStarted(int station, const std::string &product, const std::string &config) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto &v = ViewLocked(station);
    v.product = product;
    v.config = config;
    v.state = "idle";
    v.message.clear();
    Touch(v);
  }
  changed_.notify_all();
}

void LineMonitor::StationEnded(int station, const std::string &message) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto &v = ViewLocked(station);
    v.state = "ended";
    v.step.clear();
    v.stepIndex = -1;
    v.message = message;
    Touch(v);
  }
  changed_.notify_all();
}

void LineMonitor::UnitStarted(int station, const std::string &unitId, const std::string &serialNumber) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto &v = ViewLocked(station);
    v.state = "running";
    v.unitId = unitId;
    v.serialNumber = serialNumber;
    v.stepIndex = -1;
    v.step.clear();
    v.stepArguments.clear();
    v.stepsDone = v.stepsFailed = 0;
    v.downloadPercent = -1;
    v.downloadState.clear();
    v.items.clear();
    Touch(v);
  }
  changed_.notify_all();
}

void LineMonitor::SerialNumberKnown(int station, const std::string &serialNumber) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto &v = ViewLocked(station);
    v.serialNumber = serialNumber;
    Touch(v);
  }
  changed_.notify_all();
}

void LineMonitor::StepStarted(int station, int index, const std::string &exportName,
                              const std::string &arguments) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto &v = ViewLocked(station);
    if (v.state != "running") v.state = "running";
    v.stepIndex = index;
    v.step = exportName;
    v.stepArguments = arguments;
    Touch(v);
  }
  changed_.notify_all();
}

void LineMonitor::StepEnded(int station, int index, const std::string &exportName, int32_t result,
                            bool passed) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto &v = ViewLocked(station);
    v.stepIndex = index;
    v.step = exportName + " \xE2\x86\x92 " + std::to_string(result); // "→"
    ++v.stepsDone;
    if (!passed) ++v.stepsFailed;
    Touch(v);
  }
  changed_.notify_all();
}

void LineMonitor::TestItem(int station, const qrx::store::TestItemRecord &item) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto &v = ViewLocked(station);
    v.items.push_back({item.name, item.value, item.lower, item.upper, item.verdict, item.passed});
    while (v.items.size() > std::max<size_t>(options_.itemsPerStation, 1)) v.items.pop_front();
    Touch(v);
  }
  changed_.notify_all();
}

void LineMonitor::DownloadProgress(int station, int percent) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto &v = ViewLocked(station);
    v.downloadPercent = std::clamp(percent, 0, 100);
    v.downloadState = "running";
    Touch(v);
  }
  changed_.notify_all();
}

void LineMonitor::DownloadEnded(int station, bool success) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto &v = ViewLocked(station);
    if (success) v.downloadPercent = 100;
    else if (v.downloadPercent < 0) v.downloadPercent = 0;
    v.downloadState = success ? "finished" : "failed";
    Touch(v);
  }
  changed_.notify_all();
}

void LineMonitor::UnitEnded(int station, const qrx::store::UnitRecord &unit) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto &v = ViewLocked(station);
    v.state = "idle";
    v.lastSerial = unit.serialNumber;
    v.lastVerdict = VerdictName(unit.verdict);
    v.lastFailure = unit.failureReason;
    if (unit.verdict == qrx::store::UnitVerdict::Fail && unit.failureReason.empty() &&
        unit.firstFailingStep >= 0 && size_t(unit.firstFailingStep) < unit.steps.size())
      v.lastFailure = unit.steps[size_t(unit.firstFailingStep)].exportName;
    v.serialNumber.clear();
    v.unitId.clear();
    Touch(v);
    if (unit.verdict != qrx::store::UnitVerdict::Incomplete)
      counters_.UnitEnded(unit.serialNumber, unit.verdict == qrx::store::UnitVerdict::Pass,
                          unit.endedUs ? unit.endedUs : WallNowUs());
    units_.push_back(unit);
    while (units_.size() > std::max<size_t>(options_.unitsKept, 1)) units_.pop_front();
    ++version_; // the counters changed even when no tile did
  }
  changed_.notify_all();
}

void LineMonitor::OnPromptChanged(int station) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Touch(ViewLocked(station));
  }
  changed_.notify_all();
}

LineFigures LineMonitor::Figures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counters_.Figures(WallNowUs());
}

std::vector<StationView> LineMonitor::Stations() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<StationView> out;
  for (const auto &[n, v] : stations_) out.push_back(v);
  return out;
}

std::vector<qrx::store::UnitRecord> LineMonitor::Units() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {units_.begin(), units_.end()};
}

std::string LineMonitor::StateJson(bool onlyChangedSince, uint64_t since) const {
  std::vector<StationView> views;
  LineFigures figures;
  uint64_t version;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto &[n, v] : stations_)
      if (!onlyChangedSince || v.version > since) views.push_back(v);
    figures = counters_.Figures(WallNowUs());
    version = version_;
  }
  auto prompts = prompts_.OpenPrompts();
  json stations = json::array();
  for (const auto &v : views) stations.push_back(StationJson(v, prompts));
  return Dump({{"title", options_.title}, {"version", version}, {"figures", FiguresJson(figures)},
               {"stations", stations}});
}

// One event: every station the browser has not seen in its latest version, and the counters.
std::string LineMonitor::EventPayload(Stream &stream) {
  std::vector<StationView> views;
  LineFigures figures;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto &[n, v] : stations_) {
      auto it = stream.sent.find(n);
      if (it == stream.sent.end() || it->second < v.version) {
        views.push_back(v);
        stream.sent[n] = v.version;
      }
    }
    figures = counters_.Figures(WallNowUs());
    stream.lineVersion = version_;
  }
  auto prompts = prompts_.OpenPrompts();
  json stations = json::array();
  for (const auto &v : views) stations.push_back(StationJson(v, prompts));
  return "event: line\ndata: " +
         Dump({{"title", options_.title}, {"figures", FiguresJson(figures)}, {"stations", stations}}) +
         "\n\n";
}

// ---- HTTP ----

void LineMonitor::Route() {
  auto &s = *server_;
  s.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
    // A page on another site must not reach a loopback server through a name it controls
    // (DNS rebinding): on loopback, only loopback host names are served.
    if (IsLoopback(options_.address) && !IsLoopback(HostName(req.get_header_value("Host")))) {
      Reply(res, 403, {{"error", "unexpected host name"}});
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.path == "/" || req.path == "/favicon.ico") return httplib::Server::HandlerResponse::Unhandled;
    if (!options_.token.empty()) {
      std::string given = req.has_header("X-QRX-Token") ? req.get_header_value("X-QRX-Token")
                                                        : req.get_param_value("token");
      if (!SameSecret(given, options_.token)) {
        Reply(res, 401, {{"error", "token required"}});
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    if (req.method != "GET" && req.method != "HEAD") {
      // Changes come only from the page itself: it sends this header, which another site's
      // page cannot send across origins without a permission this server never gives.
      std::string origin = req.get_header_value("Origin");
      if (req.get_header_value("X-QRX-Request") != "page" ||
          (!origin.empty() && origin != "http://" + req.get_header_value("Host"))) {
        Reply(res, 403, {{"error", "cross-site request refused"}});
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  s.Get("/", [this](const httplib::Request &, httplib::Response &res) {
    res.set_header("Cache-Control", "no-store");
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                   "connect-src 'self'; img-src data:; base-uri 'none'; form-action 'none'");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_content(LinePageHtml(options_.title), "text/html; charset=utf-8");
  });
  s.Get("/favicon.ico", [](const httplib::Request &, httplib::Response &res) { res.status = 204; });

  s.Get("/api/state", [this](const httplib::Request &, httplib::Response &res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(StateJson(), "application/json");
  });

  s.Get("/report", [this](const httplib::Request &, httplib::Response &res) {
    ReportOptions ro;
    ro.title = options_.title + " report";
    res.set_header("Cache-Control", "no-store");
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src data:");
    res.set_content(ReportBuilder(ro).Build(Units()), "text/html; charset=utf-8");
  });

  s.Get("/api/units", [this](const httplib::Request &, httplib::Response &res) {
    std::string body;
    for (const auto &unit : Units()) body += Dump(UnitToJson(unit)) + "\n";
    res.set_content(body, "application/x-ndjson");
  });

  auto readPrompt = [](const httplib::Request &req, int *station, uint64_t *id, std::string *text) {
    auto body = json::parse(req.body, nullptr, false);
    if (!body.is_object()) return false;
    auto st = body.find("station"), pr = body.find("prompt"), tx = body.find("text");
    if (st == body.end() || !st->is_number_integer() || pr == body.end() || !pr->is_number_unsigned())
      return false;
    *station = st->get<int>();
    *id = pr->get<uint64_t>();
    if (text) {
      if (tx == body.end() || !tx->is_string()) return false;
      *text = tx->get<std::string>();
    }
    return true;
  };

  s.Post("/api/match", [this, readPrompt](const httplib::Request &req, httplib::Response &res) {
    int station;
    uint64_t id;
    std::string text;
    if (!readPrompt(req, &station, &id, &text)) return Reply(res, 400, {{"error", "bad request"}});
    bool open = prompts_.IsOpen(station, id);
    Reply(res, 200, {{"matches", open && prompts_.Matches(station, id, text)}, {"open", open}});
  });

  s.Post("/api/answer", [this, readPrompt](const httplib::Request &req, httplib::Response &res) {
    int station;
    uint64_t id;
    std::string text;
    if (!readPrompt(req, &station, &id, &text)) return Reply(res, 400, {{"error", "bad request"}});
    AnswerResult r = prompts_.Answer(station, id, text, AnswerSource::Page);
    static const char *kNames[] = {"accepted", "no match", "closed", "too long"};
    Reply(res, r == AnswerResult::Accepted ? 200 : 409,
          {{"accepted", r == AnswerResult::Accepted}, {"result", kNames[int(r)]}});
  });

  s.Post("/api/cancel", [this, readPrompt](const httplib::Request &req, httplib::Response &res) {
    int station;
    uint64_t id;
    if (!readPrompt(req, &station, &id, nullptr)) return Reply(res, 400, {{"error", "bad request"}});
    bool done = prompts_.Cancel(station, id, AnswerSource::Page);
    Reply(res, done ? 200 : 409, {{"cancelled", done}});
  });

  s.Get("/events", [this](const httplib::Request &, httplib::Response &res) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (streams_ >= options_.maxStreams) {
        res.status = 503;
        res.set_header("Retry-After", "10");
        res.set_content("too many viewers\n", "text/plain");
        return;
      }
      ++streams_;
    }
    auto stream = std::make_shared<Stream>();
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Accel-Buffering", "no");
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, stream](size_t, httplib::DataSink &sink) {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!stream->first) {
            // Coalesce: whatever changes within the interval goes out as one event.
            changed_.wait_until(lock, stream->lastSend + options_.coalesce, [&] { return stopping_; });
            changed_.wait_for(lock, std::chrono::seconds(15),
                              [&] { return stopping_ || version_ != stream->lineVersion; });
          }
          if (stopping_) return false;
          bool news = stream->first || version_ != stream->lineVersion;
          lock.unlock();
          stream->first = false;
          stream->lastSend = Clock::now();
          std::string chunk = news ? EventPayload(*stream) : std::string(": idle\n\n");
          if (!sink.is_writable()) return false;
          return sink.write(chunk.data(), chunk.size());
        },
        [this](bool) {
          {
            std::lock_guard<std::mutex> lock(mutex_);
            --streams_;
          }
        });
  });
}

} // namespace qrx::web
