// The test MES.
#include "test_mes.h"

#include "cfx_amqp.h"
#include "cfx_gzip.h"
#include "cfx_messages.h"

#include <proton/connection.hpp>
#include <proton/container.hpp>
#include <proton/delivery.hpp>
#include <proton/listener.hpp>
#include <proton/message_id.hpp>
#include <proton/messaging_handler.hpp>
#include <proton/sender.hpp>
#include <proton/target.hpp>
#include <proton/work_queue.hpp>

#include <future>
#include <map>

namespace qrx::testing {

using cfx::Json;

class MesResponder : public proton::messaging_handler {
public:
  MesResponder() : container_(*this, TestMes::kHandle) {}
  proton::container container_;
  std::promise<int> port_;

  void on_container_start(proton::container &c) override {
    listener_ = c.listen("127.0.0.1:0");
    port_.set_value(listener_.port());
  }
  // A requester's reply link: answers go to its target address.
  void on_sender_open(proton::sender &s) override {
    replies_[s.target().address()] = s;
    s.open();
  }
  void on_sender_close(proton::sender &s) override { replies_.erase(s.target().address()); }
  void on_error(const proton::error_condition &) override {} // a requester that went away

  void on_message(proton::delivery &d, proton::message &m) override {
    d.accept();
    std::vector<Json> envelopes;
    std::string error;
    if (!cfx::CfxAmqp::Decode(m, &envelopes, &error)) return;
    const Json &request = envelopes.front();
    const std::string serial = request["MessageBody"].value("PrimaryIdentifier", "");
    auto reply = replies_.find(m.reply_to());
    if (reply == replies_.end() || serial.rfind("SILENT", 0) == 0) return;
    const bool reject = serial.rfind("REJECT", 0) == 0;
    Json body = {{"$type", cfx::CfxMessages::TypeOf(cfx::names::kValidateUnitsResponse)}};
    Json result = {{"Result", "Success"}, {"ResultCode", 0}, {"Message", nullptr}};
    Json primary = {{"UniqueIdentifier", serial}, {"PositionNumber", 0},
                    {"Result", reject ? "Failed" : "Passed"}, {"FailureCode", reject ? 17 : 0},
                    {"Message", reject ? Json("unit is on hold at repair") : Json(nullptr)}};
    body["Result"] = result;
    body["PrimaryResult"] = primary;
    body["ValidationResults"] = Json::array({primary});
    cfx::CfxEnvelope answer = cfx::CfxEnvelope::Make(cfx::names::kValidateUnitsResponse,
                                                     TestMes::kHandle, body.dump());
    answer.target = request.value("Source", "");
    answer.requestId = request.value("RequestID", "");
    proton::message out = cfx::CfxAmqp::Message(answer, TestMes::kHandle);
    out.to(m.reply_to());
    out.correlation_id(m.id());
    if (serial.rfind("GARBLED", 0) == 0) out.body(proton::binary(std::string("{\"Message")));
    if (serial.rfind("GZIP", 0) == 0) { // compressed, whole or cut short
      std::string packed = cfx::CfxGzip::Compress(answer.ToText());
      if (serial.rfind("GZIPCUT", 0) == 0) packed.resize(packed.size() / 2);
      out.body(proton::binary(packed.begin(), packed.end()));
      out.content_encoding("gzip");
    }
    reply->second.send(out);
  }

private:
  proton::listener listener_;
  std::map<std::string, proton::sender> replies_;
};

TestMes::TestMes() : responder_(std::make_unique<MesResponder>()) {
  std::future<int> port = responder_->port_.get_future();
  thread_ = std::thread([this] { responder_->container_.run(); });
  port_ = port.get();
}

TestMes::~TestMes() {
  responder_->container_.stop();
  thread_.join();
}

std::string TestMes::Url() const {
  return "amqp://127.0.0.1:" + std::to_string(port_) + "/" + kHandle;
}

} // namespace qrx::testing
