// The operator's terminal on Windows: the console. Its own line mode would block a read until
// Enter, so keys are read as events and the line is edited here (characters echoed, Backspace
// removes the last one) and handed out whole when Enter completes it.
#include "platform/operator_terminal.h"

#include <windows.h>

#include <cstring>

namespace qrx::platform::host {

struct OperatorTerminal::State {
  HANDLE in = INVALID_HANDLE_VALUE, out = INVALID_HANDLE_VALUE;
  std::string line;  // being typed
  std::string ready; // complete lines not yet read
};

OperatorTerminal::OperatorTerminal(const std::string &device) : state_(new State) {
  const std::string in = device.empty() ? "CONIN$" : device;
  state_->in = ::CreateFileA(in.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  state_->out = ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (state_->in != INVALID_HANDLE_VALUE && !::GetConsoleMode(state_->in, &mode)) {
    ::CloseHandle(state_->in); // not a console
    state_->in = INVALID_HANDLE_VALUE;
  }
}

OperatorTerminal::~OperatorTerminal() {
  if (state_->in != INVALID_HANDLE_VALUE) ::CloseHandle(state_->in);
  if (state_->out != INVALID_HANDLE_VALUE) ::CloseHandle(state_->out);
  delete state_;
}

bool OperatorTerminal::IsOpen() const { return state_->in != INVALID_HANDLE_VALUE; }

void OperatorTerminal::Write(const std::string &text) {
  DWORD written = 0;
  if (state_->out != INVALID_HANDLE_VALUE && !text.empty())
    ::WriteFile(state_->out, text.data(), DWORD(text.size()), &written, nullptr);
}

long OperatorTerminal::Read(char *buffer, size_t size, int timeoutMs) {
  if (state_->in == INVALID_HANDLE_VALUE) return -1;
  constexpr size_t kMaxLine = 4096;
  if (state_->ready.empty()) {
    const DWORD waited = ::WaitForSingleObject(state_->in, DWORD(timeoutMs));
    if (waited == WAIT_FAILED) return -1;
    DWORD pending = 0;
    while (state_->ready.empty() && ::GetNumberOfConsoleInputEvents(state_->in, &pending) && pending > 0) {
      INPUT_RECORD record;
      DWORD got = 0;
      if (!::ReadConsoleInputA(state_->in, &record, 1, &got) || got == 0) return -1;
      if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
      const char c = record.Event.KeyEvent.uChar.AsciiChar;
      if (c == '\r' || c == '\n') {
        Write("\r\n");
        state_->ready = state_->line + "\n";
        state_->line.clear();
      } else if (c == '\b') {
        if (!state_->line.empty()) {
          state_->line.pop_back();
          Write("\b \b");
        }
      } else if (c == 0x1A || c == 0x04) { // Ctrl-Z, Ctrl-D: end of input
        return -1;
      } else if (static_cast<unsigned char>(c) >= 0x20 && state_->line.size() < kMaxLine) {
        state_->line += c;
        Write(std::string(1, c));
      }
    }
    if (state_->ready.empty()) return 0;
  }
  const size_t n = state_->ready.size() < size ? state_->ready.size() : size;
  std::memcpy(buffer, state_->ready.data(), n);
  state_->ready.erase(0, n);
  return long(n);
}

} // namespace qrx::platform::host
