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

typedef int (*InitFn)(int, const char *, const char *);
typedef int (*VoidFn)(void);
typedef int (*MeasFn)(int, int, int);
typedef int (*PortFn)(int, int);
typedef int (*WriteFn)(const char *, int);
typedef int (*ReadFn)(char *, int);

static InitFn g_init;
static VoidFn g_cleanup, g_initTest, g_initSn, g_closePort;
static MeasFn g_meas;
static PortFn g_openPort;
static WriteFn g_writeSn, g_writeImei;
static ReadFn g_readSn, g_readImei;
static int g_units, g_kill, g_failures;
static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t g_changed = PTHREAD_COND_INITIALIZER;
static int g_turn, g_midUnit;

static void *load(void *lib, const char *name) {
  void *f = dlsym(lib, name);
  if (!f) {
    fprintf(stderr, "no export %s\n", name);
    exit(2);
  }
  return f;
}

static void check(int station, const char *what, int result) {
  if (result != 0) {
    fprintf(stderr, "station %d: %s returned %d\n", station, what, result);
    pthread_mutex_lock(&g_lock);
    ++g_failures;
    pthread_mutex_unlock(&g_lock);
  }
}

static void *station(void *arg) {
  int i = (int)(size_t)arg, u;
  char serial[32], imei[32], back[64];
  pthread_mutex_lock(&g_lock); /* stations start one at a time */
  while (g_turn != i) pthread_cond_wait(&g_changed, &g_lock);
  pthread_mutex_unlock(&g_lock);
  check(i, "InitQRXInterface", g_init(i, "QRX_Station.xml", "QRX"));
  pthread_mutex_lock(&g_lock);
  ++g_turn;
  pthread_cond_broadcast(&g_changed);
  pthread_mutex_unlock(&g_lock);
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
    pthread_mutex_lock(&g_lock);
    ++g_midUnit;
    pthread_cond_broadcast(&g_changed);
    pthread_mutex_unlock(&g_lock);
    for (;;) pause();
  }
  pthread_mutex_lock(&g_lock); /* and end one at a time */
  while (g_turn != STATIONS + i) pthread_cond_wait(&g_changed, &g_lock);
  pthread_mutex_unlock(&g_lock);
  check(i, "CleanUpQRXInterface", g_cleanup());
  pthread_mutex_lock(&g_lock);
  ++g_turn;
  pthread_cond_broadcast(&g_changed);
  pthread_mutex_unlock(&g_lock);
  return NULL;
}

int main(int argc, char **argv) {
  char path[4096];
  pthread_t threads[STATIONS];
  void *lib;
  int i;
  if (argc < 3 || chdir(argv[1]) != 0) {
    fprintf(stderr, "usage: c_line_host DEPLOYMENT_DIR UNITS [kill]\n");
    return 2;
  }
  g_units = atoi(argv[2]);
  g_kill = argc > 3 && strcmp(argv[3], "kill") == 0;
  snprintf(path, sizeof path, "%s/libQRXInterface.so", argv[1]);
  lib = dlopen(path, RTLD_NOW);
  if (!lib) {
    fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
    return 2;
  }
  g_init = (InitFn)load(lib, "InitQRXInterface");
  g_cleanup = (VoidFn)load(lib, "CleanUpQRXInterface");
  g_initTest = (VoidFn)load(lib, "Init_TestInterface");
  g_meas = (MeasFn)load(lib, "GSM_NST_MeasPower");
  g_initSn = (VoidFn)load(lib, "Init_TestDLL_SN");
  g_openPort = (PortFn)load(lib, "OpenPort");
  g_closePort = (VoidFn)load(lib, "ClosePort");
  g_writeSn = (WriteFn)load(lib, "WriteSN");
  g_readSn = (ReadFn)load(lib, "ReadSN");
  g_writeImei = (WriteFn)load(lib, "WriteIMEI");
  g_readImei = (ReadFn)load(lib, "ReadIMEI");
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
