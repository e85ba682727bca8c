/* Test items and log lines for hosts of any compiler, beside the C++ log observers, and the
 * host's unit boundaries for the station journal.
 *
 * A host installs one handler of each kind for the whole process. Every test item that any
 * station logs reaches the test-item handler as a QRXTestItemEvent, with every text in UTF-8;
 * every line that any station's log observers receive reaches the log-line handler as a
 * QRXLogLineEvent. Both are called on the logging station's thread, after the station's log
 * observers have had their line. Usable from C: the handlers take plain C types, unlike the
 * observers (ILogObserver::OnLog takes a std::string, which ties the host to the library's
 * C++ runtime). */
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

/* One line as the log observers receive it. */
typedef struct QRXLogLineEvent {
  size_t struct_size;    /* sizeof(QRXLogLineEvent) of the library; fields are only added */
  int32_t thread_index;  /* the station's thread index (first argument of InitQRXInterface) */
  int32_t level;         /* the observers' level (QRX_LOG_LEVEL_... of qrx/log_service.h) */
  const char *line;      /* the line as the observers have it, in the ANSI code page */
  const char *line_utf8; /* the same line in UTF-8 */
} QRXLogLineEvent;

/* The event and its texts live only for the duration of the call; copy what you keep. */
typedef void (*QRXLogLineFn)(void *context, const QRXLogLineEvent *event);

/* Installs the log-line handler (NULL removes it) and returns 0, with the same guarantees as
 * QRX_SetTestItemHandler. */
int QRX_SetLogLineHandler(QRXLogLineFn fn, void *context);

/* Unit boundaries for the station journal (BusinessCfg/Recording.xml), from a host that knows
 * them: QRX_BeginUnit ends the calling station's open unit, if any, and begins one for the
 * serial number (NULL or "" while unknown); QRX_EndUnit ends it with the host's verdict
 * (0 pass, anything else fail). Once a station's host has called either, its journal no longer
 * decides units by itself. Both return 0, or 1 when the calling thread has no station; without
 * a journal they change nothing. */
int QRX_BeginUnit(const char *serial);
int QRX_EndUnit(int verdict);

/* The id (a version 4 UUID, 36 characters) the calling station's open unit is recorded under,
 * for a host that keeps its own records of the unit beside the journal (identities it hands
 * out, say). Returns 0 with the id in buffer; 1 when the calling thread has no station, 2 when
 * the station has no journal or no open unit, 3 when size is below 37. buffer gets "" unless 0
 * is returned. */
int QRX_GetUnitId(char *buffer, int size);

#ifdef __cplusplus
}
#endif

#endif
