// A test library as an outside author writes it, from the public headers alone: every function
// that an export calls records its own name and the parameter entries it sees, then leaves
// what it was told in the result data set and returns what it was told.
//
// Told through the parameter data set (set by the host side of the tests):
//   "Recorder.Watch"        staging names to look for, one per line
//   "Recorder.Return"       the result (default 0)
//   "Recorder.Sn"           text left as the result's "Sn" (absent: "Sn" is removed)
//   "Recorder.Power"        text left as the result's "Power" (absent: "Power" is removed)
//   "Recorder.LogItem"      a test item logged through the hub's log service
//   "Recorder.RewritePath"  a file replaced during the call with "Recorder.RewriteText"
// Recorded into the result data set, for the n-th call ("Recorder.Calls" counts them):
//   "Recorder.Call<n>.Function", "Recorder.Call<n>.Library" (the file that answered) and
//   "Recorder.Call<n>.Saw.<name>" for each watched name present.
#include "../plugins/own_file_name.h"

#include <qrx/test_tools.h>

#include <cstdio>
#include <string>

#define RECORDER_EXPORT extern "C" __attribute__((visibility("default")))

#if !defined(RECORDER_INSTANT)
namespace {

bool Read(IDataSet *set, const std::string &key, std::string *out) {
  out->clear(); // an "erase" text would remove the entry instead of reading it
  return set->GetString(key, *out) == 0;
}

void Erase(IDataSet *set, const std::string &key) {
  std::string erase = "erase";
  set->GetString(key, erase);
}

// Leaves `from` of the parameters as `to` of the results, or removes `to`.
void LeaveResult(IDataSet *parameters, IDataSet *results, const char *from, const char *to) {
  std::string value;
  if (Read(parameters, from, &value))
    results->SetString(to, value);
  else
    Erase(results, to);
}

// The file name this copy of the library was loaded from: one build is deployed as all five
// test libraries, and the record says which one a call reached.
std::string LibraryFile() {
  const std::string path = OwnFileName();
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void Rewrite(IDataSet *parameters) {
  std::string path, text;
  if (!Read(parameters, "Recorder.RewritePath", &path)) return;
  Read(parameters, "Recorder.RewriteText", &text);
  const std::string temp = path + ".new";
  if (FILE *f = std::fopen(temp.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
#ifdef _WIN32
    MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
#else
    std::rename(temp.c_str(), path.c_str());
#endif
  }
}

int Record(ITestTools *hub, const char *function) {
  IDataSet *parameters = hub->GetParameterDataSet();
  IDataSet *results = hub->GetResultDataSet();
  int calls = 0;
  results->GetInt("Recorder.Calls", &calls);
  ++calls;
  results->SetInt("Recorder.Calls", calls);
  const std::string prefix = "Recorder.Call" + std::to_string(calls) + ".";
  results->SetString(prefix + "Function", function);
  results->SetString(prefix + "Library", LibraryFile());

  std::string watch;
  Read(parameters, "Recorder.Watch", &watch);
  size_t start = 0;
  while (start < watch.size()) {
    size_t end = watch.find('\n', start);
    if (end == std::string::npos) end = watch.size();
    const std::string name = watch.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    std::string value;
    if (Read(parameters, name, &value))
      results->SetString(prefix + "Saw." + name, value);
    else
      Erase(results, prefix + "Saw." + name);
  }

  LeaveResult(parameters, results, "Recorder.Sn", "Sn");
  LeaveResult(parameters, results, "Recorder.Power", "Power");
  std::string item;
  if (Read(parameters, "Recorder.LogItem", &item) && hub->GetLogService())
    hub->GetLogService()->LogTestItem("recorder", item, 37, 40.0, 30.0, 1, 0);
  Rewrite(parameters);

  int result = 0;
  parameters->GetInt("Recorder.Return", &result);
  return result;
}

} // namespace
#endif

#if defined(RECORDER_INSTANT)
// Returns at once: the test library of the forwarding benchmark.
#define QRX_RECORDING_ENTRY(fn) \
  RECORDER_EXPORT int fn(ITestTools *) { return 0; }
#else
#define QRX_RECORDING_ENTRY(fn) \
  RECORDER_EXPORT int fn(ITestTools *hub) { return Record(hub, #fn); }
#endif

#if !defined(RECORDER_BARE)
#include "recording_entries.inc"
#else
// A library that offers none of the functions the exports call.
RECORDER_EXPORT int RecorderIsBare(ITestTools *hub) { return Record(hub, "RecorderIsBare"); }
#endif
