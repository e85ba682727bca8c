// The MES side of the tests: an AMQP 1.0 listener of its own that answers ValidateUnitsRequest
// by rule (serial "REJECT..." rejected, "SILENT..." never answered, "GARBLED..." answered with
// no JSON, "GZIP..." passed in a gzip body, "GZIPCUT..." in a gzip body cut short, any other
// passed).
#pragma once

#include "cfx_envelope.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace qrx::testing {

class MesResponder;

class TestMes {
public:
  static constexpr const char *kHandle = "Test.MES.1";
  TestMes();
  ~TestMes();
  // The URL stations validate against: amqp://127.0.0.1:PORT/Test.MES.1.
  std::string Url() const;

private:
  std::unique_ptr<MesResponder> responder_;
  std::thread thread_;
  int port_ = 0;
};

} // namespace qrx::testing
