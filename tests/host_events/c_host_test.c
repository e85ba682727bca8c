/* A host written in C: installs the test-item handler of libQRXInterface.so, runs measurement
 * steps of the simulated station and checks the records it receives.
 * Usage: c_host_test STATION_DIR (the deployment directory of the simulated station). */
#define _POSIX_C_SOURCE 200809L
#include <qrx/host_events.h>

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define MAX_RECORDS 64

typedef struct {
  int thread_index;
  char item[128];
  char value[32], lower[32], upper[32], verdict[16];
  double value_number, lower_number, upper_number;
  int has_numbers;
  int passed;
  int64_t monotonic_ns, wall_us;
  size_t struct_size;
} Record;

typedef struct {
  Record records[MAX_RECORDS];
  int count;
} Collected;

static int failures = 0;
#define CHECK(cond)                                                        \
  do {                                                                     \
    if (!(cond)) {                                                         \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                          \
    }                                                                      \
  } while (0)

static void copy_text(char *to, size_t size, const char *from) {
  snprintf(to, size, "%s", from ? from : "(null)");
}

static void on_item(void *context, const QRXTestItemEvent *e) {
  Collected *c = (Collected *)context;
  if (c->count >= MAX_RECORDS) return;
  Record *r = &c->records[c->count++];
  r->thread_index = e->thread_index;
  copy_text(r->item, sizeof r->item, e->item);
  copy_text(r->value, sizeof r->value, e->value);
  copy_text(r->lower, sizeof r->lower, e->lower);
  copy_text(r->upper, sizeof r->upper, e->upper);
  copy_text(r->verdict, sizeof r->verdict, e->verdict);
  r->value_number = e->value_number;
  r->lower_number = e->lower_number;
  r->upper_number = e->upper_number;
  r->has_numbers = e->has_value_number && e->has_lower_number && e->has_upper_number;
  r->passed = e->passed;
  r->monotonic_ns = e->monotonic_ns;
  r->wall_us = e->wall_us;
  r->struct_size = e->struct_size;
}

typedef int (*InitFn)(int, const char *, const char *);
typedef int (*CleanUpFn)(void);
typedef int (*MeasFn)(int, int, int);
typedef int (*SetHandlerFn)(QRXTestItemFn, void *);

int main(int argc, char **argv) {
  if (argc != 2 || chdir(argv[1]) != 0) {
    fprintf(stderr, "usage: c_host_test STATION_DIR\n");
    return 2;
  }
  char state[] = "/tmp/qrx-c-host-XXXXXX";
  if (!mkdtemp(state)) return 2;
  setenv("QRX_SIM_STATE_DIR", state, 1);
  char cwd[4096], visa[4200], lib_path[4200];
  if (!getcwd(cwd, sizeof cwd)) return 2;
  snprintf(visa, sizeof visa, "%s/libvisa.so", cwd);
  snprintf(lib_path, sizeof lib_path, "%s/libQRXInterface.so", cwd);
  setenv("QRX_VISA_LIBRARY", visa, 0);
  void *lib = dlopen(lib_path, RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  InitFn init = (InitFn)dlsym(lib, "InitQRXInterface");
  CleanUpFn cleanup = (CleanUpFn)dlsym(lib, "CleanUpQRXInterface");
  MeasFn meas = (MeasFn)dlsym(lib, "GSM_NST_MeasPower");
  SetHandlerFn set = (SetHandlerFn)dlsym(lib, "QRX_SetTestItemHandler");
  if (!init || !cleanup || !meas || !set) {
    fprintf(stderr, "missing exports\n");
    return 2;
  }

  static Collected c;
  CHECK(set(&on_item, &c) == 0);

  /* A healthy device: every item passes, its value within its limits. */
  CHECK(init(3, "QRX_Station.xml", "QRX") == 0);
  CHECK(meas(1, 62, 5) == 0);
  CHECK(c.count >= 1);
  for (int i = 0; i < c.count; ++i) {
    Record *r = &c.records[i];
    CHECK(r->struct_size == sizeof(QRXTestItemEvent));
    CHECK(r->thread_index == 3);
    CHECK(strncmp(r->item, "GSM_NST_MeasPower", 17) == 0);
    CHECK(strcmp(r->verdict, "PASS") == 0 && r->passed == 1);
    CHECK(r->has_numbers);
    CHECK(r->lower_number <= r->value_number && r->value_number <= r->upper_number);
    CHECK(r->wall_us > 1600000000000000LL); /* after 2020 */
    if (i > 0) CHECK(r->monotonic_ns >= c.records[i - 1].monotonic_ns);
  }
  /* The texts are the line's: two decimals, and they give the same numbers. */
  if (c.count >= 1) {
    CHECK(strchr(c.records[0].lower, '.') != NULL);
    CHECK(atof(c.records[0].upper) == c.records[0].upper_number);
  }
  CHECK(cleanup() == 0);

  /* A faulty device on another station: failed items carry FAIL. */
  int before = c.count;
  CHECK(init(4, "QRX_Faulty.xml", "QRX") == 0);
  CHECK(meas(1, 62, 5) != 0);
  CHECK(c.count > before);
  int failed = 0;
  for (int i = before; i < c.count; ++i) {
    CHECK(c.records[i].thread_index == 4);
    if (!c.records[i].passed) {
      ++failed;
      CHECK(strcmp(c.records[i].verdict, "FAIL") == 0);
    }
  }
  CHECK(failed >= 1);

  /* Removed: nothing more arrives. */
  CHECK(set(NULL, NULL) == 0);
  before = c.count;
  meas(1, 62, 5);
  CHECK(c.count == before);
  CHECK(cleanup() == 0);

  char command[4300];
  snprintf(command, sizeof command, "rm -rf '%s'", state);
  if (system(command) != 0) fprintf(stderr, "could not remove %s\n", state);
  if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
  else printf("C host: %d records checked\n", c.count);
  return failures ? 1 : 0;
}
