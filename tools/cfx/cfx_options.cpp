// --cfx and its companions.
#include "cfx_options.h"

#if QRX_CFX_WITH_AMQP
#include "amqp_outlet.h"
#include "cfx_gzip.h"
#endif

#include <CLI/CLI.hpp>

namespace qrx::cfx {

void AddCfxOptions(CLI::App &app, CfxCommandLine *options) {
  app.add_option("--cfx", options->url,
                 "amqp://[USER:PASSWORD@]HOST[:PORT]/ADDRESS: publish IPC-CFX messages there "
                 "(RabbitMQ: /queue/NAME or /exchange/NAME)");
  app.add_option("--cfx-handle", options->handle,
                 "the station's CFX handle (default QRX.<deployment>.<machine>)");
  app.add_option("--cfx-heartbeat", options->heartbeatSeconds,
                 "SECONDS between CFX heartbeats (default 60)")
      ->check(CLI::Range(1, 300));
  app.add_option("--cfx-outbox-mib", options->outboxMiB,
                 "MiB the CFX outbox may hold while the broker is away (default 256)")
      ->check(CLI::Range(1, 1 << 20));
  // On by default as with the reference's publishers: a UnitsTested takes a tenth of the bytes
  // on the network, in the outbox and in the broker's durable queues, and the station saves
  // more CPU in the outbox and the sender than compressing costs. Off for consumers that read
  // the body without looking at its encoding.
  app.add_option("--cfx-gzip", options->gzip,
                 "on|off|1-9: compress CFX message bodies with gzip (content-encoding gzip; "
                 "default on, level 1), or send raw JSON")
      ->check(CLI::IsMember({"on", "off", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
}

std::string DefaultHandle(const std::string &machine, const std::string &deployment) {
  auto clean = [](std::string text) {
    for (char &c : text)
      if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
            c == '-' || c == '.'))
        c = '_';
    return text.empty() ? std::string("unknown") : text;
  };
  return "QRX." + clean(deployment) + "." + clean(machine);
}

bool CfxAvailable() { return QRX_CFX_WITH_AMQP != 0; }

std::unique_ptr<CfxPublisher> MakePublisher(const CfxCommandLine &options,
                                            const std::string &resultsDir,
                                            const std::string &machine,
                                            const std::string &deployment,
                                            std::function<void(const std::string &)> say,
                                            std::string *error) {
  if (options.url.empty()) return nullptr;
  CfxPublisher::Settings settings;
  settings.handle = options.handle.empty() ? DefaultHandle(machine, deployment) : options.handle;
  settings.heartbeat = std::chrono::seconds(options.heartbeatSeconds);
#if QRX_CFX_WITH_AMQP
  AmqpUrl url;
  if (!AmqpUrl::Parse(options.url, &url, error)) {
    *error = "--cfx " + *error;
    return nullptr;
  }
  CfxOutbox::Limits limits;
  limits.maxBytes = static_cast<int64_t>(options.outboxMiB) << 20;
  std::string path = resultsDir;
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
  const int gzipLevel = options.gzip == "off"  ? 0
                        : options.gzip == "on" ? CfxGzip::kDefaultLevel
                                               : std::stoi(options.gzip);
  auto outlet = AmqpOutlet::Open(url, settings.handle, path + "cfx-outbox.db", limits, gzipLevel,
                                 std::move(say), error);
  if (!outlet) {
    *error = "--cfx: " + *error;
    return nullptr;
  }
  return std::make_unique<CfxPublisher>(settings, std::move(outlet));
#else
  (void)resultsDir;
  (void)say;
  *error = "--cfx is not available in this build: it was built without an AMQP 1.0 client "
           "(Qpid Proton)";
  return nullptr;
#endif
}

} // namespace qrx::cfx
