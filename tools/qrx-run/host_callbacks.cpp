#include "host_callbacks.h"

#include "run_console.h"
#include "run_line.h"
#include "sequence_parser.h"
#include "station_unit.h"
#if QRX_RUN_WITH_WEB
#include "web_line.h"
#endif

#include "../common/ansi_text.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>

namespace qrx::tools {
namespace {

std::mutex g_answerLock;
std::map<int, std::deque<std::string>> g_answers; // station 0: for every station
bool g_useTerminal = true;

#if QRX_RUN_WITH_WEB
std::optional<double> NumberOf(int32_t has, double value) {
  return has ? std::optional<double>(value) : std::nullopt;
}
#endif

// The answer --serial gives this station's prompt, if any.
bool GivenAnswer(int station, std::string *answer) {
  std::lock_guard<std::mutex> hold(g_answerLock);
  for (int key : {station, 0}) {
    auto &queue = g_answers[key];
    if (!queue.empty()) {
      *answer = queue.front();
      if (queue.size() > 1) queue.pop_front(); // the last answer keeps answering
      return true;
    }
  }
  return false;
}

int Answered(const std::string &answer, char *out) {
  std::memcpy(out, answer.c_str(), answer.size() + 1);
  if (t_unit) t_unit->Prompted(AnsiText::ToUtf8(answer));
  return 1;
}

int AskOnTerminal(int station, const std::string &pattern, QRXMatchFn matches, void *matcher,
                  char *out, size_t size) {
  FILE *tty = g_useTerminal ? std::fopen("/dev/tty", "r+") : nullptr;
  if (!tty) {
    Print(station, "prompt " + pattern + ": no answer given (--serial) and no terminal; cancelled");
    return 0;
  }
  std::lock_guard<std::mutex> hold(PrintLock());
  int answered = 0;
  for (;;) {
    std::fprintf(tty, "[S%d] enter the barcode (%s), empty line cancels: ", station, pattern.c_str());
    std::fflush(tty);
    char line[512];
    if (!std::fgets(line, sizeof line, tty)) break;
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) break;
    text = AnsiText::FromUtf8(text);
    if (matches(matcher, text.c_str()) == 1 && text.size() + 1 <= size) {
      answered = Answered(text, out);
      break;
    }
    std::fprintf(tty, "does not match %s\n", pattern.c_str());
  }
  std::fclose(tty);
  return answered;
}

} // namespace

void StationObserver::OnLog(int level, std::string line) {
  if (Console().quiet) return;
  std::string text = Shown(line);
  for (char &c : text)
    if (c == '\r' || c == '\n') c = ' ';
  Print(station_, (level == QRX_LOG_LEVEL_TEST_ITEM ? "  " : "  . ") + text);
}

void OnTestItem(void *, const QRXTestItemEvent *e) {
#if QRX_RUN_WITH_WEB
  if (!Line().web || !t_unit || !e) return;
  store::TestItemRecord item;
  item.source = e->source ? e->source : "";
  item.name = e->item ? e->item : "";
  item.value = e->value ? e->value : "";
  item.lower = e->lower ? e->lower : "";
  item.upper = e->upper ? e->upper : "";
  item.valueNumber = NumberOf(e->has_value_number, e->value_number);
  item.lowerNumber = NumberOf(e->has_lower_number, e->lower_number);
  item.upperNumber = NumberOf(e->has_upper_number, e->upper_number);
  item.verdict = e->verdict ? e->verdict : "";
  item.passed = e->passed != 0;
  item.tag = std::to_string(e->tag);
  item.monotonicNs = e->monotonic_ns;
  item.wallUs = e->wall_us;
  Line().web->Monitor().TestItem(t_station, item);
#else
  (void)e;
#endif
}

int OnSerialPrompt(void *, const char *pattern, QRXMatchFn matches, void *matcher, char *out,
                   size_t size) {
  const int station = t_station;
  const std::string p = pattern ? pattern : "";
  std::string answer;
  if (GivenAnswer(station, &answer)) {
    answer = AnsiText::FromUtf8(SequenceParser::Expand(answer, station, station - 1));
    if (matches(matcher, answer.c_str()) != 1 || answer.size() + 1 > size) {
      Print(station, "prompt " + p + ": the given answer '" + answer + "' does not match; cancelled");
      return 0;
    }
    Print(station, "prompt " + p + ": answered " + AnsiText::ToUtf8(answer));
    return Answered(answer, out);
  }
#if QRX_RUN_WITH_WEB
  if (WebLine *web = Line().web) { // the page, and the terminal beside it: the first answer wins
    auto fits = [&](const std::string &ansi) { return matches(matcher, ansi.c_str()) == 1; };
    std::string where;
    Print(station, "prompt " + AnsiText::ToUtf8(p) + ": waiting for the barcode in the page" +
                       (g_useTerminal ? " or on the terminal" : ""));
    if (web->Ask(station, p, fits, size, &answer, &where) != 1) {
      Print(station, "prompt " + AnsiText::ToUtf8(p) + ": cancelled (" + where + ")");
      return 0;
    }
    Print(station, "prompt " + AnsiText::ToUtf8(p) + ": answered " + AnsiText::ToUtf8(answer) + " (" + where + ")");
    return Answered(answer, out);
  }
#endif
  return AskOnTerminal(station, p, matches, matcher, out, size);
}

void OnMessageBox(void *, const char *caption, const char *text) {
  Print(t_station, "MESSAGE " + Shown(caption ? caption : "") + ": " + Shown(text ? text : ""));
}

void GiveAnswer(int station, const std::string &answer) {
  std::lock_guard<std::mutex> hold(g_answerLock);
  g_answers[station].push_back(answer);
}

void UseTerminal(bool use) { g_useTerminal = use; }
bool UsesTerminal() { return g_useTerminal; }

std::string NextGivenSerial(int station) {
  std::lock_guard<std::mutex> hold(g_answerLock);
  for (int key : {station, 0}) {
    auto it = g_answers.find(key);
    if (it != g_answers.end() && !it->second.empty())
      return SequenceParser::Expand(it->second.front(), station, station - 1);
  }
  return std::string();
}

} // namespace qrx::tools
