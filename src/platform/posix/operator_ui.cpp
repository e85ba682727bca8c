// The terminal front end of the operator's messages and the serial-number prompt: a line on
// standard error and a prompt on /dev/tty.
#include "platform/operator_ui.h"

#include "platform/code_page.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <pthread.h>

namespace qrx::platform {
namespace {

// Terminal front end: re-asks while the text does not match; an empty line or end of input
// is Cancel.
bool TerminalPrompt(const std::string &pattern, const std::function<bool(const char *)> &matches,
                    std::string *text) {
  FILE *tty = std::fopen("/dev/tty", "r+");
  if (!tty) return false;
  bool ok = false;
  char line[kPromptBufferSize];
  for (;;) {
    std::fprintf(tty, "%s [%s]: ", AnsiToUtf8("\xC7\xEB\xCA\xE4\xC8\xEB\xCC\xF5\xC2\xEB\xA3\xBA").c_str(),
                 pattern.c_str()); // "请输入条码："
    std::fflush(tty);
    if (!std::fgets(line, sizeof line, tty)) break;
    size_t n = std::strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
    if (n == 0) break;
    std::string ansi = Utf8ToAnsi(line);
    if (matches(ansi.c_str())) {
      *text = ansi;
      ok = true;
      break;
    }
  }
  std::fclose(tty);
  return ok;
}

} // namespace

void system::DefaultMessageBox(const char *caption, const std::string &text) {
  std::string line = "QRXInterface: " + AnsiToUtf8(caption) + ": " + AnsiToUtf8(text) + "\n";
  std::fputs(line.c_str(), stderr);
}

bool system::DefaultSerialPrompt(const std::string &pattern,
                                 const std::function<bool(const char *)> &matches,
                                 std::string *text, void *owner) {
  (void)owner; // the terminal prompt has no window to be modal to
  return TerminalPrompt(pattern, matches, text);
}

namespace {
pthread_mutex_t &PromptMutex() {
  static pthread_mutex_t mutex = [] {
    pthread_mutex_t m;
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&m, &attr);
    pthread_mutexattr_destroy(&attr);
    return m;
  }();
  return mutex;
}
} // namespace

OperatorPromptLock::OperatorPromptLock() {
  int r = pthread_mutex_lock(&PromptMutex());
  // The last holder ended without letting go: the lock is ours, and usable again.
  if (r == EOWNERDEAD) r = pthread_mutex_consistent(&PromptMutex());
  held_ = r == 0;
}

OperatorPromptLock::~OperatorPromptLock() {
  if (held_) pthread_mutex_unlock(&PromptMutex());
}

} // namespace qrx::platform
