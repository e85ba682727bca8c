// Operator messages and the serial-number prompt, routed to the host's UI handlers
// (QRX_SetMessageBoxHandler, QRX_SetSerialPromptHandler) or their terminal defaults.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace qrx::platform {

// Caption of an application message box (one without a caption of its own).
inline constexpr const char *kApplicationCaption = "QRXInterface";
// Room for the operator's text, terminator included.
inline constexpr size_t kPromptBufferSize = 4096;

// Shows a modal box with an OK button and returns when the operator closed it. A null
// caption is an application message box. Texts are in the ANSI code page.
void ShowMessageBox(const char *caption, const std::string &text);

// Told of every message box on the thread that shows it, just before it is shown (the station
// journal records them); null for none. Process-wide; costs one atomic load when unset.
using MessageBoxListener = void (*)(const char *caption, const std::string &text);
void SetMessageBoxListener(MessageBoxListener listener);
// Called by ShowMessageBox of each system's layer.
void NotifyMessageBoxListener(const char *caption, const std::string &text);

// Asks the operator for a text that satisfies matches. Returns true with the text exactly as
// entered when the operator pressed OK on a matching text; false on Cancel (text untouched).
// A window system shows the prompt modal to `owner` (the host's window; null for none).
bool PromptSerialNumber(const std::string &pattern,
                        const std::function<bool(const char *)> &matches, std::string *text,
                        void *owner = nullptr);

// Held while one station asks the operator: the process-wide lock that keeps a second station
// from prompting at the same time. A station thread that ends while holding it (ended by its
// host) does not keep it: the next station takes it over (a Windows mutex object, taken when
// abandoned; a robust mutex on POSIX systems). The same thread may take it again.
class OperatorPromptLock {
public:
  OperatorPromptLock();
  ~OperatorPromptLock();
  OperatorPromptLock(const OperatorPromptLock &) = delete;
  OperatorPromptLock &operator=(const OperatorPromptLock &) = delete;

private:
  bool held_ = false;
};

// The system's own front ends, used when the host installed no handler; supplied by posix/
// or win32/operator_ui.cpp.
namespace system {
void DefaultMessageBox(const char *caption, const std::string &text);
bool DefaultSerialPrompt(const std::string &pattern,
                         const std::function<bool(const char *)> &matches, std::string *text,
                         void *owner);
} // namespace system

} // namespace qrx::platform
