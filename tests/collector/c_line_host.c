/* A factory's own test-runner host written in C: loads libQRXInterface.so from a deployment
 * folder and runs units on four stations, one thread each, with nothing but the library's
 * exports: a measurement, then the serial number and IMEI written and read back. It knows
 * nothing of journals or stores.
 * Usage: c_line_host DEPLOYMENT_DIR UNITS [kill]
 * With "kill" every station begins one more unit and the process then kills itself (SIGKILL)
 * in the middle of it. */
#define _POSIX_C_SOURCE 200809L
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
static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t g_changed = PTHREAD_COND_INITIALIZER;

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

int main(int argc, char **argv) {
  char path[4096];
  pthread_t threads[STATIONS];
  void *lib;
  int i;
  struct { const char *name; void **fn; } exports[] = {
      {"InitQRXInterface", (void **)&g_init}, {"CleanUpQRXInterface", (void **)&g_cleanup},
      {"Init_TestInterface", (void **)&g_initTest}, {"GSM_NST_MeasPower", (void **)&g_meas},
      {"Init_TestDLL_SN", (void **)&g_initSn}, {"OpenPort", (void **)&g_openPort},
      {"ClosePort", (void **)&g_closePort}, {"WriteSN", (void **)&g_writeSn},
      {"ReadSN", (void **)&g_readSn}, {"WriteIMEI", (void **)&g_writeImei},
      {"ReadIMEI", (void **)&g_readImei}};
  if (argc < 3 || chdir(argv[1]) != 0) {
    fprintf(stderr, "usage: c_line_host DEPLOYMENT_DIR UNITS [kill]\n");
    return 2;
  }
  g_units = atoi(argv[2]);
  g_kill = argc > 3 && strcmp(argv[3], "kill") == 0;
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
