/* Operator interaction of the interface library, routed to the host.
 *
 * Message boxes and the serial-number prompt go to handlers that the host installs. Without
 * them, the Windows library shows real windows and the Linux library uses the terminal.
 * Strings are in the ANSI code page. */
#ifndef QRX_HOST_UI_H
#define QRX_HOST_UI_H

#include <stddef.h>

#include <qrx/calling_convention.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Shows one message box with an OK button and returns when the operator closed it.
 * A box without a caption of its own has the caption "QRXInterface". */
typedef void (*QRXMessageBoxFn)(void *context, const char *caption, const char *text);

/* Returns 1 when text matches the prompt's pattern. */
typedef int (*QRXMatchFn)(void *matcher, const char *text);

/* Asks the operator for a text. The front end calls matches(matcher, text) on every edit and
 * enables OK only while it returns 1. Returns 1 (OK, text_out filled, zero-terminated) or
 * 0 (Cancel). The library accepts a returned text only if it matches. */
typedef int (*QRXSerialPromptFn)(void *context, const char *pattern, QRXMatchFn matches,
                                 void *matcher, char *text_out, size_t text_out_size);

/* NULL restores the default. On Windows: a message box, and the modal serial-number dialog.
 * Elsewhere: one line on standard error for message boxes; an interactive prompt on /dev/tty
 * (or Cancel without one) for the serial prompt. Return 0. */
int QRX_CALL QRX_SetMessageBoxHandler(QRXMessageBoxFn fn, void *context);
int QRX_CALL QRX_SetSerialPromptHandler(QRXSerialPromptFn fn, void *context);

#ifdef __cplusplus
}
#endif

#endif
