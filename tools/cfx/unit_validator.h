// Asks the MES whether a unit may be tested: CFX ValidateUnitsRequest sent point to point to the
// MES's own AMQP 1.0 endpoint (its request address is its CFX handle), one response awaited
// for a bounded time.
#pragma once

#include "amqp_url.h"

#include <chrono>
#include <string>

namespace qrx::cfx {

struct ValidationAnswer {
  enum class Kind {
    Accepted,   // the request ran and the unit passed
    Rejected,   // the MES says the unit must not be tested
    NoAnswer,   // nothing in time, the endpoint cannot be reached, or it does not validate
    Malformed,  // an answer that is not a readable ValidateUnitsResponse to this request
  };
  Kind kind = Kind::NoAnswer;
  std::string message; // for the operator: the MES's own words, or what went wrong
};

class UnitValidator {
public:
  // endpoint: amqp://HOST:PORT/RESPONDER-HANDLE (the path is the MES's CFX handle).
  UnitValidator(AmqpUrl endpoint, std::string stationHandle, std::chrono::milliseconds timeout);
  // Blocks the calling thread for at most the timeout (plus connection set-up on loopback).
  ValidationAnswer Validate(const std::string &serialNumber) const;

  const std::string &Responder() const { return responder_; }

private:
  AmqpUrl endpoint_;
  std::string responder_;
  std::string station_;
  std::chrono::milliseconds timeout_;
};

} // namespace qrx::cfx
