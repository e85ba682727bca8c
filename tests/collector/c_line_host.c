/* A factory's own host written in C: loads libQRXInterface.so from a deployment folder.
 *   c_line_host DEPLOYMENT_DIR UNITS [kill]
 * runs units on four stations, one thread each, with nothing but the library's exports: a
 * measurement, then the serial number and IMEI written and read back. It knows nothing of
 * journals or stores. With "kill" every station begins one more unit and the process then kills
 * itself (SIGKILL) in the middle of it.
 *   c_line_host DEPLOYMENT_DIR items
 * installs the test-item handler, runs measurement steps on a healthy and a faulty station and
 * checks the records as they arrive. */
#define _POSIX_C_SOURCE 200809L
#include <qrx/host_events.h>

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define STATIONS 4

static int (*g_init)(int, const char *, const char *);
static int (*g_cleanup)(void), (*g_initTest)(void), (*g_initSn)(void), (*g_closePort)(void);
static int (*g_meas)(int, int, int), (*g_openPort)(int, int);
static int (*g_writeSn)(const char *, int), (*g_writeImei)(const char *, int);
static int (*g_readSn)(char *, int), (*g_readImei)(char *, int);
static int g_units, g_kill, g_failures, g_turn, g_midUnit;
static char g_state[] = "/tmp/qrx-c-host-XXXXXX"; /* the simulated devices' state (items) */
static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t g_changed = PTHREAD_COND_INITIALIZER;

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++g_failures;                                                            \
    }                                                                          \
  } while (0)

static void check(int station, const char *what, int result) {
  if (result == 0) return;
  fprintf(stderr, "station %d: %s returned %d\n", station, what, result);
  pthread_mutex_lock(&g_lock);
  ++g_failures;
  pthread_mutex_unlock(&g_lock);
}

/* Stations start and end one at a time (turns 0..3, then 4..7): the library's registry
 * must not change while another station calls in. */
static void await_turn(int turn) {
  pthread_mutex_lock(&g_lock);
  while (g_turn != turn) pthread_cond_wait(&g_changed, &g_lock);
  pthread_mutex_unlock(&g_lock);
}

static void bump(int *counter) {
  pthread_mutex_lock(&g_lock);
  ++*counter;
  pthread_cond_broadcast(&g_changed);
  pthread_mutex_unlock(&g_lock);
}

static void *station(void *arg) {
  int i = (int)(size_t)arg, u;
  char serial[32], imei[32], back[64];
  await_turn(i);
  check(i, "InitQRXInterface", g_init(i, "QRX_Station.xml", "QRX"));
  bump(&g_turn);
  for (u = 0; u < g_units; ++u) {
    snprintf(serial, sizeof serial, "C%dU%04d", i, u);
    snprintf(imei, sizeof imei, "8675309%02d%06d", i, u);
    check(i, "Init_TestInterface", g_initTest());
    check(i, "GSM_NST_MeasPower", g_meas(1, 62, 5));
    check(i, "Init_TestDLL_SN", g_initSn());
    check(i, "OpenPort", g_openPort(1, 115200));
    check(i, "WriteSN", g_writeSn(serial, 0));
    check(i, "ReadSN", g_readSn(back, 0));
    check(i, "WriteIMEI", g_writeImei(imei, 0));
    check(i, "ReadIMEI", g_readImei(back, 0));
    check(i, "ClosePort", g_closePort());
  }
  if (g_kill) {
    g_initTest();
    g_meas(1, 62, 5);
    bump(&g_midUnit);
    for (;;) pause();
  }
  await_turn(STATIONS + i);
  check(i, "CleanUpQRXInterface", g_cleanup());
  bump(&g_turn);
  return NULL;
}

/* What the records of one step must show, and what they did. */
typedef struct {
  int thread_index;
  int healthy; /* every item passes, its value within its limits */
  int count, failed;
  int64_t last_ns;
} Expected;

static void on_item(void *context, const QRXTestItemEvent *e) {
  Expected *x = (Expected *)context;
  ++x->count;
  CHECK(e->struct_size == sizeof(QRXTestItemEvent));
  CHECK(e->thread_index == x->thread_index);
  CHECK(e->wall_us > 1600000000000000LL); /* after 2020 */
  CHECK(e->monotonic_ns >= x->last_ns);
  x->last_ns = e->monotonic_ns;
  if (!e->passed) {
    ++x->failed;
    CHECK(strcmp(e->verdict, "FAIL") == 0);
  }
  if (!x->healthy) return;
  CHECK(strncmp(e->item, "GSM_NST_MeasPower", 17) == 0);
  CHECK(strcmp(e->verdict, "PASS") == 0 && e->passed == 1);
  CHECK(e->has_value_number && e->has_lower_number && e->has_upper_number);
  CHECK(e->lower_number <= e->value_number && e->value_number <= e->upper_number);
  /* The texts are the line's: two decimals, and they give the same numbers. */
  if (x->count == 1) CHECK(strchr(e->lower, '.') != NULL && atof(e->upper) == e->upper_number);
}

/* A healthy device, then a faulty one on another station: failed items carry FAIL; once the
 * handler is removed nothing more arrives. */
static int check_items(void *lib) {
  int (*set)(QRXTestItemFn, void *) = (int (*)(QRXTestItemFn, void *))dlsym(lib, "QRX_SetTestItemHandler");
  Expected healthy = {3, 1, 0, 0, 0}, faulty = {4, 0, 0, 0, 0};
  char command[64];
  int before;
  if (!set) return 2;
  CHECK(set(&on_item, &healthy) == 0);
  CHECK(g_init(3, "QRX_Station.xml", "QRX") == 0);
  CHECK(g_meas(1, 62, 5) == 0);
  CHECK(healthy.count >= 1 && healthy.failed == 0);
  CHECK(g_cleanup() == 0);
  CHECK(set(&on_item, &faulty) == 0);
  CHECK(g_init(4, "QRX_Faulty.xml", "QRX") == 0);
  CHECK(g_meas(1, 62, 5) != 0);
  CHECK(faulty.failed >= 1);
  CHECK(set(NULL, NULL) == 0);
  before = faulty.count;
  g_meas(1, 62, 5);
  CHECK(faulty.count == before);
  CHECK(g_cleanup() == 0);
  snprintf(command, sizeof command, "rm -rf '%s'", g_state);
  if (system(command) != 0) fprintf(stderr, "could not remove %s\n", g_state);
  printf("C host: %d records checked, %d failures\n", healthy.count + faulty.count, g_failures);
  return g_failures ? 1 : 0;
}

int main(int argc, char **argv) {
  char path[4096];
  pthread_t threads[STATIONS];
  void *lib;
  int i, items = argc > 2 && strcmp(argv[2], "items") == 0;
  struct { const char *name; void **fn; } exports[] = {
      {"InitQRXInterface", (void **)&g_init}, {"CleanUpQRXInterface", (void **)&g_cleanup},
      {"Init_TestInterface", (void **)&g_initTest}, {"GSM_NST_MeasPower", (void **)&g_meas},
      {"Init_TestDLL_SN", (void **)&g_initSn}, {"OpenPort", (void **)&g_openPort},
      {"ClosePort", (void **)&g_closePort}, {"WriteSN", (void **)&g_writeSn},
      {"ReadSN", (void **)&g_readSn}, {"WriteIMEI", (void **)&g_writeImei},
      {"ReadIMEI", (void **)&g_readImei}};
  if (argc < 3 || chdir(argv[1]) != 0) {
    fprintf(stderr, "usage: c_line_host DEPLOYMENT_DIR UNITS [kill] | DEPLOYMENT_DIR items\n");
    return 2;
  }
  g_units = atoi(argv[2]);
  g_kill = argc > 3 && strcmp(argv[3], "kill") == 0;
  if (items) {
    if (!mkdtemp(g_state)) return 2;
    setenv("QRX_SIM_STATE_DIR", g_state, 1);
    snprintf(path, sizeof path, "%s/libvisa.so", argv[1]);
    setenv("QRX_VISA_LIBRARY", path, 0);
  }
  snprintf(path, sizeof path, "%s/libQRXInterface.so", argv[1]);
  if (!(lib = dlopen(path, RTLD_NOW))) {
    fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
    return 2;
  }
  for (i = 0; i < (int)(sizeof exports / sizeof exports[0]); ++i)
    if (!(*exports[i].fn = dlsym(lib, exports[i].name))) {
      fprintf(stderr, "no export %s\n", exports[i].name);
      return 2;
    }
  if (items) return check_items(lib);
  for (i = 0; i < STATIONS; ++i) pthread_create(&threads[i], NULL, station, (void *)(size_t)i);
  if (g_kill) {
    pthread_mutex_lock(&g_lock);
    while (g_midUnit != STATIONS) pthread_cond_wait(&g_changed, &g_lock);
    pthread_mutex_unlock(&g_lock);
    raise(SIGKILL);
  }
  for (i = 0; i < STATIONS; ++i) pthread_join(threads[i], NULL);
  printf("%d stations, %d units each, %d failures\n", STATIONS, g_units, g_failures);
  return g_failures ? 1 : 0;
}
