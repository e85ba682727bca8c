// One request, one response, on a connection of its own.
#include "unit_validator.h"

#include "cfx_amqp.h"
#include "cfx_format.h"
#include "cfx_messages.h"

#include <proton/connection.hpp>
#include <proton/container.hpp>
#include <proton/delivery.hpp>
#include <proton/messaging_handler.hpp>
#include <proton/receiver.hpp>
#include <proton/receiver_options.hpp>
#include <proton/sender.hpp>
#include <proton/target_options.hpp>
#include <proton/transport.hpp>
#include <proton/work_queue.hpp>

namespace qrx::cfx {

namespace {

using Kind = ValidationAnswer::Kind;

class Exchange : public proton::messaging_handler {
public:
  Exchange(const AmqpUrl &endpoint, const std::string &responder, const std::string &station,
           std::chrono::milliseconds timeout, const std::string &serial)
      : endpoint_(endpoint), responder_(responder), station_(station), timeout_(timeout) {
    request_ = CfxEnvelope::Make(names::kValidateUnitsRequest, station,
                                 CfxMessages::ValidateUnitsRequest(serial));
    request_.target = responder;
    request_.requestId = "REQUEST-" + CfxFormat::NewGuid();
    replyAddress_ = station + "-" + CfxFormat::NewGuid();
  }

  ValidationAnswer answer;

  void on_container_start(proton::container &c) override {
    container_ = &c;
    deadline_ = std::chrono::steady_clock::now() + timeout_;
    Tick();
    c.connect(endpoint_.HostPort(), CfxAmqp::Options(endpoint_, station_));
  }

  void on_connection_open(proton::connection &c) override {
    connection_ = c;
    c.open_receiver(responder_, proton::receiver_options().credit_window(1).target(
                                    proton::target_options().address(replyAddress_)));
    sender_ = c.open_sender(responder_);
  }

  void on_receiver_open(proton::receiver &) override {
    receiverOpen_ = true;
    Send();
  }
  void on_sendable(proton::sender &) override { Send(); }

  void on_message(proton::delivery &d, proton::message &m) override {
    d.accept();
    std::vector<Json> envelopes;
    std::string error;
    if (!CfxAmqp::Decode(m, &envelopes, &error) || envelopes.size() != 1)
      return Finish(Kind::Malformed, "the MES's answer cannot be read: " +
                                         (error.empty() ? std::string("several messages") : error));
    Read(envelopes.front());
  }

  void on_transport_error(proton::transport &t) override {
    Finish(Kind::NoAnswer, "the MES cannot be asked: " + CfxAmqp::Explain(t.error(), endpoint_));
  }
  void on_connection_error(proton::connection &c) override {
    Finish(Kind::NoAnswer, "the MES cannot be asked: " + CfxAmqp::Explain(c.error(), endpoint_));
  }
  void on_receiver_error(proton::receiver &r) override {
    Finish(Kind::NoAnswer, "the MES cannot be asked: " + CfxAmqp::Explain(r.error(), endpoint_));
  }
  void on_sender_error(proton::sender &s) override {
    Finish(Kind::NoAnswer, "the MES cannot be asked: " + CfxAmqp::Explain(s.error(), endpoint_));
  }
  void on_error(const proton::error_condition &error) override {
    Finish(Kind::NoAnswer, "the MES cannot be asked: " + CfxAmqp::Explain(error, endpoint_));
  }

private:
  // A short tick rather than one timer for the whole wait: a pending timer holds the
  // container's run() after the answer came, so the tick is what the operator waits beyond
  // the answer (1 ms; 10 ms here made the round trip's median 10 ms).
  void Tick() {
    container_->schedule(proton::duration(1), [this] {
      if (done_) return container_->stop();
      if (std::chrono::steady_clock::now() >= deadline_)
        return Finish(Kind::NoAnswer, "the MES " + responder_ + " gave no answer within " +
                                          std::to_string(timeout_.count()) + " ms");
      Tick();
    });
  }

  void Send() {
    if (sent_ || !receiverOpen_ || !sender_ || sender_.credit() <= 0) return;
    sent_ = true;
    sender_.send(CfxAmqp::Message(request_, replyAddress_));
  }

  void Read(const Json &e) {
    auto text = [](const Json &j, const char *key) {
      return j.is_object() && j.contains(key) && j[key].is_string() ? j[key].get<std::string>()
                                                                    : std::string();
    };
    const std::string name = text(e, "MessageName");
    if (text(e, "RequestID") != *request_.requestId)
      return Finish(Kind::Malformed, "the MES answered another request (" + text(e, "RequestID") + ")");
    const Json body = e.contains("MessageBody") ? e["MessageBody"] : Json();
    if (name == names::kNotSupportedResponse) {
      const Json r = body.is_object() && body.contains("RequestResult") ? body["RequestResult"] : Json();
      return Finish(Kind::NoAnswer, "the MES " + responder_ + " does not validate units: " + text(r, "Message"));
    }
    if (name != names::kValidateUnitsResponse || !body.is_object() || !body.contains("Result") ||
        !body.contains("PrimaryResult"))
      return Finish(Kind::Malformed, "the MES's answer is not a ValidateUnitsResponse (" + name + ")");
    const Json &result = body["Result"], &primary = body["PrimaryResult"];
    const std::string status = text(result, "Result"), verdict = text(primary, "Result");
    std::string words = text(primary, "Message");
    if (words.empty()) words = text(result, "Message");
    if (status.empty() || verdict.empty())
      return Finish(Kind::Malformed, "the MES's answer lacks Result.Result or PrimaryResult.Result");
    if (status == "Success" && verdict == "Passed")
      return Finish(Kind::Accepted, words);
    std::string why = "the MES " + responder_ + " rejects the unit: " +
                      (status != "Success" ? "request " + status : "validation " + verdict);
    if (primary.is_object() && primary.contains("FailureCode") && primary["FailureCode"].is_number_integer() &&
        primary["FailureCode"].get<int64_t>() != 0)
      why += " (code " + std::to_string(primary["FailureCode"].get<int64_t>()) + ")";
    Finish(Kind::Rejected, words.empty() ? why : why + ": " + words);
  }

  void Finish(Kind kind, const std::string &message) {
    if (done_) return;
    done_ = true;
    answer.kind = kind;
    answer.message = message;
    if (connection_) connection_.close();
    if (container_) container_->stop();
  }

  AmqpUrl endpoint_;
  std::string responder_, station_;
  std::chrono::milliseconds timeout_;
  CfxEnvelope request_;
  std::string replyAddress_;
  proton::container *container_ = nullptr;
  std::chrono::steady_clock::time_point deadline_;
  proton::connection connection_;
  proton::sender sender_;
  bool receiverOpen_ = false, sent_ = false, done_ = false;
};

} // namespace

UnitValidator::UnitValidator(AmqpUrl endpoint, std::string stationHandle,
                             std::chrono::milliseconds timeout)
    : endpoint_(std::move(endpoint)), station_(std::move(stationHandle)), timeout_(timeout) {
  responder_ = endpoint_.path.empty() ? std::string() : endpoint_.path.substr(1);
}

ValidationAnswer UnitValidator::Validate(const std::string &serialNumber) const {
  Exchange exchange(endpoint_, responder_, station_, timeout_, serialNumber);
  try {
    proton::container container(exchange, station_ + "-validate");
    container.run();
  } catch (const std::exception &e) {
    exchange.answer = {ValidationAnswer::Kind::NoAnswer, std::string("the MES cannot be asked: ") + e.what()};
  }
  return exchange.answer;
}

} // namespace qrx::cfx
