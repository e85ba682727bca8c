/* Progress of an image download as the host's callback receives it. */
#ifndef QRX_DOWNLOAD_EVENT_H
#define QRX_DOWNLOAD_EVENT_H

#include <stdint.h>

#include <qrx/calling_convention.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One progress report, passed by value. Which fields carry a value depends on kind:
 *   kind 0: value1 = lparam, value3 = wparam          (message 0x464)
 *   kind 1: value1 = wparam, value4 = lparam          (message 0x465)
 *   kind 2: value1 = lparam                           (message 0x466)
 *   kind 3: value1 = lparam, value5 = (wparam == 0)   (message 0x467)
 *   kind 4: value1 = lparam, value2 = wparam          (message 0x468)
 * Fields not listed for a kind are unspecified. */
typedef struct QRXDownloadEvent {
  int32_t kind;
  int32_t value1;
  int32_t value2;
  int32_t value3;
  int32_t value4;
  int32_t value5;
} QRXDownloadEvent;

/* The host's progress callback (stdcall on 32-bit x86 Windows); its result answers the
 * plug-in's QRX_SendMessage. */
typedef int32_t(QRX_CALLBACK *QRXDownloadCallback)(QRXDownloadEvent event);

#ifdef __cplusplus
}
#endif

#endif
