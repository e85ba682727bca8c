// qrx-run: a test host for libQRXInterface.so. Loads the library with dlopen as a host does
// and runs sequence files on N stations in parallel, one thread each, unit after unit. Units are
// recorded as every host's are: the library journals the stations and a collector thread turns
// the journals into unit records.
#include "download_watch.h"
#include "host_callbacks.h"
#include "interface_library.h"
#include "run_console.h"
#include "run_line.h"
#include "sequence_parser.h"
#include "station_runner.h"
#if QRX_RUN_WITH_COLLECTOR
#include "run_collector.h"
#endif
#if QRX_RUN_WITH_WEB
#include "web_line.h"
#endif

#include "../common/ansi_text.h"
#include "../common/sha256.h"
#ifdef QRX_RUN_WITH_STORE
#include "../store/store_factory.h"
#endif
#if QRX_RUN_WITH_CFX
#include "../cfx/cfx_options.h"
#include "../cfx/unit_validator.h"
#endif

#include "platform/host_process.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace qrx::tools;
namespace store = qrx::store;
#if QRX_RUN_WITH_WEB
namespace web = qrx::web;
#endif

namespace {

// "S=VALUE" or "VALUE"; station 0 means every station.
bool SplitStation(const std::string &arg, int *station, std::string *value) {
  auto eq = arg.find('=');
  if (eq != std::string::npos && eq > 0 && arg.find_first_not_of("0123456789") == eq) {
    *station = std::atoi(arg.substr(0, eq).c_str());
    *value = arg.substr(eq + 1);
    return *station > 0;
  }
  *station = 0;
  *value = arg;
  return true;
}

std::string ExecutableDirectory() {
  std::string dir = qrx::platform::host::ProgramDirectory();
  return dir.empty() ? "./" : dir;
}

// The machine's name for the unit records, from the environment or the system's files.
std::string HostName() {
  for (const char *name : {"QRX_HOST_NAME", "HOSTNAME", "COMPUTERNAME"})
    if (const char *value = std::getenv(name); value && *value) return value;
  for (const char *file : {"/proc/sys/kernel/hostname", "/etc/hostname"}) {
    std::ifstream in(file);
    std::string line;
    if (in && std::getline(in, line) && !line.empty()) return line;
  }
  return "unknown";
}

#if QRX_RUN_WITH_WEB
// Ctrl-C or a stop request while the page lingers after the line.
volatile std::sig_atomic_t g_stopLinger = 0;
volatile std::sig_atomic_t g_stationsDone = 0;
// Before the stations are done a stop ends qrx-run as it always did; afterwards it ends the
// lingering page and lets the units still being recorded reach the store.
void StopLinger(int signal) {
  if (!g_stationsDone) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  g_stopLinger = 1;
}
#endif

std::string FileSha256(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return Sha256::Hex(bytes.str());
}

#if QRX_RUN_WITH_COLLECTOR
// qrx-run records every unit, so its deployment keeps a journal: a deployment without
// BusinessCfg/Recording.xml gets one with the defaults, said once. False when it cannot be
// written.
bool TurnRecordingOn(const std::string &deploymentDir) {
  std::string folder, error;
  if (qrx::collector::DeploymentJournals::JournalFolder(deploymentDir, &folder, &error)) return true;
  namespace fs = std::filesystem;
  const fs::path file = fs::path(deploymentDir) / "BusinessCfg" / "Recording.xml";
  const fs::path temporary = fs::path(file).concat(".new");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << RunCollector::DefaultRecordingXml();
    if (!out.flush()) {
      std::fprintf(stderr, "qrx-run: the units cannot be recorded: %s cannot be written\n",
                   temporary.string().c_str());
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temporary, file, ec);
  if (ec) {
    fs::remove(temporary, ec);
    std::fprintf(stderr, "qrx-run: the units cannot be recorded: %s cannot be written\n",
                 file.string().c_str());
    return false;
  }
  Print(0, "recording turned on for this deployment: " + file.string() +
               " written (the stations keep a journal in Journal/)");
  return true;
}
#endif

} // namespace

int main(int argc, char **argv) {
  std::string stationDir, jsonPath, dbUrl, lang, webAddress, webToken;
  int storeWaitSeconds = 15;
  int webLinger = 0;
  int stations = 1, firstIndex = 0, units = 0;
  bool checkOnly = false, noTerminal = false;
  RunOptions options;
  std::vector<std::string> productArgs, configArgs, serialArgs, sequenceArgs;

  CLI::App app{"qrx-run: runs sequence files on simulated or real stations, one thread each"};
  app.add_option("--station", stationDir,
                 "deployment directory (default: the station folder beside qrx-run)");
  app.add_option("--stations", stations, "number of stations, one thread each (default 1)")
      ->check(CLI::Range(1, 64));
  app.add_option("--product", productArgs,
                 "[S=]TYPE: QRX or UFI (default: the sequence's @product, else QRX)")
      ->allow_extra_args(false)->take_all();
  app.add_option("--config", configArgs,
                 "[S=]FILE: business-configuration file in BusinessCfg (default: the "
                 "sequence's @config, else <product>_Station.xml); it must exist")
      ->allow_extra_args(false)->take_all();
  app.add_option("--first-index", firstIndex, "thread index of station 1 (default 0)");
  app.add_option("--serial", serialArgs,
                 "[S=]TEXT: answer to the operator's barcode prompt (repeatable; the last "
                 "answer keeps answering)")
      ->allow_extra_args(false)->take_all();
  app.add_flag("--no-terminal", noTerminal,
               "never ask on the terminal; unanswered prompts are cancelled");
  app.add_option("--json", jsonPath, "append every unit's whole record to FILE as one JSON line");
  app.add_option("--db", dbUrl,
                 "results store and identity pools: postgresql://... (default: "
                 "Results/results.db in the deployment directory)");
  app.add_option("--store-wait", storeWaitSeconds,
                 "seconds an identity waits for a PostgreSQL store that was reached and went "
                 "away (a restart) before its step fails (default 15)")
      ->check(CLI::Range(0, 3600));
  app.add_option("--units", units,
                 "units to test one after the other on each station (default 1; with --loop, "
                 "until the operator quits)")
      ->check(CLI::Range(1, 1000000));
  app.add_flag("--loop", options.loop,
               "after each unit's verdict ask the operator (standard input) for the next one");
  app.add_flag("--continue-on-fail", options.continueOnFail,
               "run a unit's remaining steps after a failing step (default: the unit stops, "
               "so a failing unit is never programmed)");
  auto *webOption = app.add_option(
      "--web", webAddress,
      "ADDRESS:PORT: serve the line's live page there, with the barcode prompts in it (e.g. "
      "127.0.0.1:8080; port 0: a free port; the URL is printed)");
  app.add_option("--web-token", webToken,
                 "TOKEN: what the page must present; required for a non-loopback --web address "
                 "(also from QRX_WEB_TOKEN)")
      ->needs(webOption);
  app.add_option("--web-linger", webLinger,
                 "SECONDS: keep the page up this long after the line ended (default 0: stop "
                 "with the line; Ctrl-C stops it sooner)")
      ->check(CLI::Range(0, 31 * 24 * 3600))->needs(webOption);
  app.add_option("--lang", lang, "en: the library's fixed Chinese texts in English")
      ->check(CLI::IsMember({"en", "zh"}));
#if QRX_RUN_WITH_CFX
  std::string validateUrl, cfxHandle, noAnswer = "refuse";
  int validateSeconds = 10;
  auto *validateOption = app.add_option(
      "--cfx-validate", validateUrl,
      "amqp://HOST:PORT/MES-HANDLE: before testing a unit ask the MES's CFX endpoint "
      "(ValidateUnitsRequest) whether its serial number may be tested; a rejected unit is not");
  app.add_option("--cfx-handle", cfxHandle, "the station's CFX handle (default QRX.<deployment>.<machine>)");
  app.add_option("--cfx-validate-timeout", validateSeconds, "SECONDS to wait for the MES's answer (default 10)")
      ->check(CLI::Range(1, 300))->needs(validateOption);
  app.add_option("--cfx-no-answer", noAnswer,
                 "refuse (default): a unit without the MES's answer in time is not tested; test: "
                 "it is tested, its record saying so")
      ->check(CLI::IsMember({"refuse", "test"}))->needs(validateOption);
#endif
  app.add_flag("--quiet", Console().quiet, "do not print the library's log lines");
  app.add_flag("--check", checkOnly, "only check the sequences");
  app.set_version_flag("--version", std::string("qrx-run ") + QRX_VERSION);
  app.add_option("sequences", sequenceArgs, "SEQUENCE for every station, S=SEQUENCE for station S")
      ->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &) {
    std::printf("%s", app.help().c_str());
    return 0;
  } catch (const CLI::ParseError &e) {
    std::fprintf(stderr, "qrx-run: %s\n%s", e.what(), app.help().c_str());
    return 2;
  }
  UseTerminal(!noTerminal);
  Console().english = lang == "en";
  options.units = units > 0 ? units : options.loop ? 0 : 1;

  std::map<int, std::string> products, configs, sequencePaths;
  auto perStation = [](const std::vector<std::string> &given, const char *option,
                       const std::function<void(int, const std::string &)> &take) {
    for (const std::string &v : given) {
      int s = 0;
      std::string value;
      if (!SplitStation(v, &s, &value)) {
        std::fprintf(stderr, "qrx-run: bad station in %s %s\n", option, v.c_str());
        return false;
      }
      take(s, value);
    }
    return true;
  };
  if (!perStation(productArgs, "--product", [&](int s, const std::string &v) { products[s] = v; }) ||
      !perStation(configArgs, "--config", [&](int s, const std::string &v) { configs[s] = v; }) ||
      !perStation(serialArgs, "--serial", [](int s, const std::string &v) { GiveAnswer(s, v); }) ||
      !perStation(sequenceArgs, "SEQUENCE", [&](int s, const std::string &v) { sequencePaths[s] = v; }))
    return 2;

  // Every sequence is checked completely before anything runs.
  std::map<std::string, Sequence> parsed;
  std::map<std::string, std::string> hashes;
  for (const auto &[s, path] : sequencePaths) {
    if (parsed.count(path)) continue;
    std::string error;
    auto sequence = SequenceParser::ParseFile(path, &error);
    if (!sequence) {
      std::fprintf(stderr, "qrx-run: %s\n", error.c_str());
      return 2;
    }
    parsed[path] = std::move(*sequence);
    hashes[path] = FileSha256(path);
  }
  std::vector<StationPlan> plans;
  for (int n = 1; n <= stations; ++n) {
    StationPlan plan;
    plan.number = n;
    plan.index = firstIndex + n - 1;
    auto seq = sequencePaths.count(n) ? sequencePaths[n] : sequencePaths.count(0) ? sequencePaths[0] : "";
    if (seq.empty()) { std::fprintf(stderr, "qrx-run: no sequence for station %d\n", n); return 2; }
    plan.sequence = &parsed[seq];
    plan.sequenceHash = hashes[seq];
    plan.product = products.count(n) ? products[n] : products.count(0) ? products[0]
                 : !plan.sequence->product.empty() ? plan.sequence->product : "QRX";
    plan.config = configs.count(n) ? configs[n] : configs.count(0) ? configs[0]
                : !plan.sequence->config.empty() ? plan.sequence->config : plan.product + "_Station.xml";
    plans.push_back(plan);
  }
#if !QRX_RUN_WITH_WEB
  if (!webAddress.empty()) {
    std::fprintf(stderr, "qrx-run: this qrx-run was built without the live page; --web cannot be used\n");
    return 2;
  }
#else
  WebLine::Options webOptions;
  if (!webAddress.empty()) {
    // From the environment, the token stays out of the process list.
    if (const char *fromEnv = std::getenv("QRX_WEB_TOKEN"); webToken.empty() && fromEnv) webToken = fromEnv;
    std::string error;
    if (!WebLine::ParseAddress(webAddress, &webOptions.address, &webOptions.port, &error)) {
      std::fprintf(stderr, "qrx-run: %s\n", error.c_str());
      return 2;
    }
    if (!web::LineMonitor::IsLoopback(webOptions.address) && webToken.empty()) {
      std::fprintf(stderr,
                   "qrx-run: --web %s: other machines could watch the line and answer its prompts; "
                   "give --web-token TOKEN (or QRX_WEB_TOKEN), or serve on 127.0.0.1\n",
                   webAddress.c_str());
      return 2;
    }
  }
#endif
  if (checkOnly) {
    for (const auto &[path, seq] : parsed) std::printf("%s: %zu steps, OK\n", path.c_str(), seq.steps.size());
    return 0;
  }
  // Sequence paths stay valid after the move into the deployment directory.
  if (stationDir.empty()) stationDir = ExecutableDirectory() + "station";
  std::string here = qrx::platform::host::CurrentDirectory();
  if (!jsonPath.empty() && !qrx::platform::host::IsAbsolutePath(jsonPath)) jsonPath = here + jsonPath;
  if (!qrx::platform::host::ChangeDirectory(stationDir)) {
    std::fprintf(stderr, "qrx-run: cannot enter the deployment directory %s\n", stationDir.c_str());
    return 2;
  }
  options.deploymentDir = qrx::platform::host::CurrentDirectory();
  options.hostName = HostName();
#if QRX_RUN_WITH_CFX
  std::unique_ptr<qrx::cfx::UnitValidator> validator;
  if (!validateUrl.empty()) {
    qrx::cfx::AmqpUrl url;
    std::string error;
    if (!qrx::cfx::AmqpUrl::Parse(validateUrl, &url, &error) || url.path.size() < 2) {
      std::fprintf(stderr, "qrx-run: --cfx-validate %s\n", error.empty()
                   ? (validateUrl + ": the path must be the MES's CFX handle, e.g. amqp://mes:5672/Acme.MES").c_str()
                   : error.c_str());
      return 2;
    }
    std::string deployment = std::filesystem::path(options.deploymentDir).parent_path().filename().string();
    if (cfxHandle.empty()) cfxHandle = qrx::cfx::DefaultHandle(options.hostName, deployment);
    validator = std::make_unique<qrx::cfx::UnitValidator>(url, cfxHandle, std::chrono::seconds(validateSeconds));
    Line().validator = validator.get();
    Line().testWithoutAnswer = noAnswer == "test";
  }
#endif
  // InitQRXInterface would create a missing business-configuration file with nothing in it,
  // and the station would test against empty settings: a typo must stop the run instead.
  for (const StationPlan &plan : plans) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.deploymentDir + "BusinessCfg/" + plan.config, ec)) {
      std::fprintf(stderr,
                   "qrx-run: station %d: the business-configuration file BusinessCfg/%s does not "
                   "exist in %s (InitQRXInterface would create an empty one); check --config or "
                   "the sequence's @config\n",
                   plan.number, plan.config.c_str(), options.deploymentDir.c_str());
      return 2;
    }
  }

  // Where the units go: the library journals every station, and the collector thread records
  // the journals' units in the results store (and --json). The identity pools answer the
  // stations directly.
  std::unique_ptr<store::IdentitySource> ids;
#if QRX_RUN_WITH_COLLECTOR
  if (!TurnRecordingOn(options.deploymentDir)) return 2;
  RunCollector collector;
  {
    std::string error;
    if (!collector.Start({options.deploymentDir, dbUrl, jsonPath}, &error)) {
      std::fprintf(stderr, "qrx-run: cannot record the units: %s\n", error.c_str());
      return 2;
    }
    ids = store::OpenIdentitySource(dbUrl, options.deploymentDir, &error,
                                    std::chrono::seconds(storeWaitSeconds));
    if (!ids) {
      std::fprintf(stderr, "qrx-run: cannot open the identity pools: %s\n", error.c_str());
      return 2;
    }
    Line().collector = &collector;
  }
#else
  if (!dbUrl.empty() || !jsonPath.empty()) {
    std::fprintf(stderr, "qrx-run: this qrx-run was built without a results store; --db and --json cannot be used\n");
    return 2;
  }
#endif

  const std::string &station = options.deploymentDir;
  qrx::platform::host::SetEnvironmentDefault("QRX_VISA_LIBRARY", station + qrx::platform::host::VisaLibraryFile());
  InterfaceLibrary lib;
  const std::string libPath = station + qrx::platform::host::InterfaceLibraryFile();
  if (std::string error; !lib.Load(libPath, &error)) {
    std::fprintf(stderr, "qrx-run: %s\n", error.c_str());
    return 2;
  }
  auto setPrompt = reinterpret_cast<int (*)(QRXSerialPromptFn, void *)>(lib.Symbol("QRX_SetSerialPromptHandler"));
  auto setBox = reinterpret_cast<int (*)(QRXMessageBoxFn, void *)>(lib.Symbol("QRX_SetMessageBoxHandler"));
  auto setItems = reinterpret_cast<int (*)(QRXTestItemFn, void *)>(lib.Symbol("QRX_SetTestItemHandler"));
#if QRX_RUN_WITH_WEB
  std::unique_ptr<WebLine> webLine;
  if (!webAddress.empty()) {
    webOptions.token = webToken;
    webOptions.terminal = UsesTerminal();
    webOptions.title = "QRX line on " + options.hostName;
    webOptions.toUtf8 = [](const std::string &s) { return AnsiText::ToUtf8(s); };
    webOptions.fromUtf8 = [](const std::string &s) { return AnsiText::FromUtf8(s); };
    webLine = std::make_unique<WebLine>(webOptions);
    std::string error;
    if (!webLine->Start(&error)) {
      std::fprintf(stderr, "qrx-run: --web %s: %s\n", webAddress.c_str(), error.c_str());
      return 2;
    }
    Line().web = webLine.get();
    Print(0, "live page: " + webLine->Url());
  }
#endif
  if (setPrompt) setPrompt(&OnSerialPrompt, nullptr);
  if (setBox) setBox(&OnMessageBox, nullptr);
  if (setItems) setItems(&OnTestItem, nullptr);
  else Print(0, "note: this libQRXInterface.so hands out no test items; unit records hold none");

#if QRX_RUN_WITH_WEB
  if (webLine && webLinger > 0) {
    std::signal(SIGINT, StopLinger);
    std::signal(SIGTERM, StopLinger);
  }
#endif
  StationTurns turns(stations);
  std::vector<StationReport> reports(plans.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < plans.size(); ++i)
    threads.emplace_back(RunStation, std::cref(lib), std::cref(plans[i]), std::cref(options),
                         ids.get(), &turns, &reports[i]);
  for (auto &t : threads) t.join();
  if (setItems) setItems(nullptr, nullptr);
#if QRX_RUN_WITH_WEB
  g_stationsDone = 1;
#endif

  int failed = 0;
#if QRX_RUN_WITH_COLLECTOR
  // Every unit ended is recorded before qrx-run ends; a store that stays away leaves them in
  // the journal, where qrx-collector (or the next qrx-run) finds them.
  const size_t unrecorded = collector.Finish(std::chrono::seconds(storeWaitSeconds + 15));
  Line().collector = nullptr;
  if (unrecorded) {
    std::string why = collector.Problem();
    if (why.empty()) why = "their journal lines were not read in time";
    std::fprintf(stderr, "qrx-run: %zu unit(s) not recorded yet: %s; they stay in the journal for "
                 "qrx-collector\n", unrecorded, why.c_str());
    ++failed;
  }
#endif
  failed += PrintLineSummary(plans, reports);
  std::printf("%s\n", failed ? "RESULT: FAIL" : "RESULT: PASS");
  std::fflush(stdout);
  // The library stays loaded: plug-in threads may still be winding down.
  ids.reset();
#if QRX_RUN_WITH_WEB
  if (webLine) {
    if (webLinger > 0) {
      Print(0, "the live page stays up for " + std::to_string(webLinger) + " s (Ctrl-C stops it): " +
                   webLine->Url());
      auto until = std::chrono::steady_clock::now() + std::chrono::seconds(webLinger);
      while (!g_stopLinger && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    webLine->Stop();
    // A plug-in thread still winding down may report progress late: the stopped page stays
    // until the process ends, as the library does.
    webLine.release();
  }
#endif
  return failed ? 1 : 0;
}
