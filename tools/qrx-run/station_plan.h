// What a station of a qrx-run tests, and how.
#pragma once

#include "sequence_parser.h"

#include <string>

namespace qrx::tools {

struct RunOptions {
  bool continueOnFail = false;
  int units = 1;             // 0: until the operator quits
  bool loop = false;         // ask the operator before each next unit
  std::string deploymentDir; // ends with '/'
  std::string hostName;
};

struct StationPlan {
  int number = 0; // 1 for the first station
  int index = 0;  // the library's thread index
  std::string product;
  std::string config;
  const Sequence *sequence = nullptr;
  std::string sequenceHash;
};

} // namespace qrx::tools
