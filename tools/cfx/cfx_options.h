// The command-line options of a program that publishes on the CFX bus (--cfx URL,
// --cfx-handle, --cfx-heartbeat, --cfx-outbox-mib, --cfx-gzip), and the publisher they describe.
#pragma once

#include "cfx_publisher.h"

#include <functional>
#include <memory>
#include <string>

namespace CLI {
class App;
}

namespace qrx::cfx {

struct CfxCommandLine {
  std::string url;           // empty: no publishing
  std::string handle;        // empty: DefaultHandle
  int heartbeatSeconds = 60; // 1 s to 5 min
  int outboxMiB = 256;
  std::string gzip = "on";   // on (the default level), off (raw JSON) or a level 1 to 9
};

void AddCfxOptions(CLI::App &app, CfxCommandLine *options);

// "QRX.<deployment>.<machine>" with every character but letters, digits, '_', '-' and '.'
// replaced by '_' (the handle enters routing keys).
std::string DefaultHandle(const std::string &machine, const std::string &deployment);

// Whether this build can publish (an AMQP 1.0 client was there when it was built).
bool CfxAvailable();

// Null without *error when no --cfx was given; null with *error for a URL that cannot work or
// a build without AMQP. resultsDir holds the outbox (cfx-outbox.db).
std::unique_ptr<CfxPublisher> MakePublisher(const CfxCommandLine &options,
                                            const std::string &resultsDir,
                                            const std::string &machine,
                                            const std::string &deployment,
                                            std::function<void(const std::string &)> say,
                                            std::string *error);

} // namespace qrx::cfx
