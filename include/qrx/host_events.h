/* Test items for hosts as structured records, beside the observer lines, and the host's unit
 * boundaries for the station journal.
 *
 * A host installs one handler for the whole process. Every test item that any station logs
 * reaches it as a QRXTestItemEvent: on the logging station's thread, after the station's log
 * observers have had their line, with every text in UTF-8. Usable from C. */
#ifndef QRX_HOST_EVENTS_H
#define QRX_HOST_EVENTS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct QRXTestItemEvent {
  size_t struct_size;       /* sizeof(QRXTestItemEvent) of the library; fields are only added */
  int32_t thread_index;     /* the station's thread index (first argument of InitQRXInterface) */
  const char *source;       /* who logged the item */
  const char *item;         /* the item name */
  const char *value;        /* value, upper and lower limit as the log line has them */
  const char *upper;
  const char *lower;
  double value_number;      /* the same as numbers, valid where the has_ flag is 1 */
  double upper_number;
  double lower_number;
  int32_t has_value_number;
  int32_t has_upper_number;
  int32_t has_lower_number;
  const char *verdict;      /* as logged: "PASS", "FAIL", or the test library's own text */
  int32_t passed;           /* 1 when the verdict is PASS (in any letter case), else 0 */
  int32_t tag;
  int64_t monotonic_ns;     /* steady clock: for order and durations within the process */
  int64_t wall_us;          /* microseconds since 1970-01-01 UTC */
} QRXTestItemEvent;

/* The event and its texts live only for the duration of the call; copy what you keep. */
typedef void (*QRXTestItemFn)(void *context, const QRXTestItemEvent *event);

/* Installs the handler (NULL removes it) and returns 0. Safe while stations log: when it
 * returns, the previous handler is no longer running on any other thread and is not called
 * again, so its context may be freed. A handler may call it from inside itself. */
int QRX_SetTestItemHandler(QRXTestItemFn fn, void *context);

/* Unit boundaries for the station journal (BusinessCfg/Recording.xml), from a host that knows
 * them: QRX_BeginUnit ends the calling station's open unit, if any, and begins one for the
 * serial number (NULL or "" while unknown); QRX_EndUnit ends it with the host's verdict
 * (0 pass, anything else fail). Once a station's host has called either, its journal no longer
 * decides units by itself. Both return 0, or 1 when the calling thread has no station; without
 * a journal they change nothing. */
int QRX_BeginUnit(const char *serial);
int QRX_EndUnit(int verdict);

#ifdef __cplusplus
}
#endif

#endif
