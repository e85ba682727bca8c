// Operator messages and the serial-number prompt, routed to the host's UI handlers
// (QRX_SetMessageBoxHandler, QRX_SetSerialPromptHandler) or their terminal defaults.
#pragma once

#include <functional>
#include <string>

namespace qrx::platform {

// Caption of an application message box (one without a caption of its own).
inline constexpr const char *kApplicationCaption = "QRXInterface";

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

} // namespace qrx::platform
