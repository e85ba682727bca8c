// qrx-cfx-tail: prints the CFX messages arriving at an AMQP 1.0 source as they come, one line
// each, or whole with --json: what the MES sees.
#include "amqp_url.h"
#include "cfx_amqp.h"
#include "tail_line.h"

#include <proton/connection.hpp>
#include <proton/container.hpp>
#include <proton/delivery.hpp>
#include <proton/messaging_handler.hpp>
#include <proton/receiver_options.hpp>
#include <proton/source_options.hpp>
#include <proton/transport.hpp>
#include <proton/work_queue.hpp>

#include <CLI/CLI.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>

namespace {

using namespace qrx::cfx;

proton::container *g_container = nullptr;

void StopOnSignal(int) {
  if (g_container) g_container->stop();
}

class Tail : public proton::messaging_handler {
public:
  Tail(AmqpUrl url, bool json, int count, int seconds, double idle)
      : url_(std::move(url)), json_(json), count_(count), seconds_(seconds), idle_(idle) {}
  int status = 0;

  void on_container_start(proton::container &c) override {
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds_);
    last_ = std::chrono::steady_clock::now();
    Tick(c);
    c.connect(url_.HostPort(), CfxAmqp::Options(url_, "qrx-cfx-tail"));
  }
  void on_connection_open(proton::connection &c) override {
    // The publisher's queues are durable; a broker refuses a reader that asks otherwise.
    c.open_receiver(url_.Address(),
                    proton::receiver_options().credit_window(256).source(
                        proton::source_options().durability_mode(proton::source::UNSETTLED_STATE)));
  }
  void on_receiver_open(proton::receiver &) override {
    std::fprintf(stderr, "qrx-cfx-tail: listening on %s\n", url_.Shown().c_str());
  }
  void on_message(proton::delivery &d, proton::message &m) override {
    d.accept();
    last_ = std::chrono::steady_clock::now();
    std::vector<Json> envelopes;
    std::string error;
    if (!CfxAmqp::Decode(m, &envelopes, &error)) {
      std::printf("(not CFX: %s; subject %s)\n", error.c_str(), m.subject().c_str());
    } else {
      for (const Json &e : envelopes)
        std::printf("%s\n", json_ ? e.dump().c_str() : TailLine::Format(e).c_str());
    }
    std::fflush(stdout);
    if (count_ > 0 && ++seen_ >= count_ && !done_) {
      done_ = true;
      d.connection().close();
    }
  }
  void on_transport_error(proton::transport &t) override { Fail(t.error()); }
  void on_connection_error(proton::connection &c) override { Fail(c.error()); }
  void on_receiver_error(proton::receiver &r) override { Fail(r.error()); }
  void on_error(const proton::error_condition &error) override { Fail(error); }

private:
  // Stops the container once done or past --seconds (checked often: a pending timer would hold
  // the container up).
  void Tick(proton::container &c) {
    c.schedule(proton::duration(100), [this, &c] {
      const auto now = std::chrono::steady_clock::now();
      if (done_ || (seconds_ > 0 && now >= deadline_) ||
          (idle_ > 0 && now - last_ >= std::chrono::duration<double>(idle_))) {
        done_ = true;
        return c.stop();
      }
      Tick(c);
    });
  }
  void Fail(const proton::error_condition &error) {
    if (done_) return;
    std::fprintf(stderr, "qrx-cfx-tail: %s\n", CfxAmqp::Explain(error, url_).c_str());
    status = 1;
  }

  AmqpUrl url_;
  bool json_;
  int count_, seconds_, seen_ = 0;
  double idle_;
  bool done_ = false;
  std::chrono::steady_clock::time_point deadline_, last_;
};

} // namespace

int main(int argc, char **argv) {
  std::string urlText;
  bool json = false;
  int count = 0, seconds = 0;
  double idle = 0;
  CLI::App app{"qrx-cfx-tail: prints the CFX messages on the bus as they come"};
  app.add_option("url", urlText,
                 "amqp://[USER:PASSWORD@]HOST[:PORT]/SOURCE, e.g. amqp://127.0.0.1/queue/cfx "
                 "(a queue's messages are taken from it: give the tail a queue of its own bound "
                 "to the exchange, or RabbitMQ's /exchange/NAME/# for a private one)")
      ->required();
  app.add_flag("--json", json, "print each whole message as one JSON line");
  app.add_option("--count", count, "stop after N messages")->check(CLI::Range(1, 1 << 30));
  app.add_option("--seconds", seconds, "stop after S seconds")->check(CLI::Range(1, 1 << 24));
  app.add_option("--idle", idle, "stop when no message came for S seconds (takes what waits in a queue)")
      ->check(CLI::Range(0.1, 86400.0));
  app.set_version_flag("--version", std::string("qrx-cfx-tail ") + QRX_VERSION);
  CLI11_PARSE(app, argc, argv);
  AmqpUrl url;
  std::string error;
  if (!AmqpUrl::Parse(urlText, &url, &error)) {
    std::fprintf(stderr, "qrx-cfx-tail: %s\n", error.c_str());
    return 2;
  }
  if (url.Address().empty()) {
    std::fprintf(stderr, "qrx-cfx-tail: %s names no source (e.g. %s/queue/cfx)\n", url.Shown().c_str(),
                 url.Shown().c_str());
    return 2;
  }
  Tail tail(url, json, count, seconds, idle);
  try {
    proton::container container(tail);
    g_container = &container;
    std::signal(SIGINT, StopOnSignal);
    std::signal(SIGTERM, StopOnSignal);
    container.run();
    g_container = nullptr;
  } catch (const std::exception &e) {
    std::fprintf(stderr, "qrx-cfx-tail: %s\n", e.what());
    return 1;
  }
  return tail.status;
}
