/* A host written in C: installs the test-item handler of libQRXInterface.so, runs measurement
 * steps of the simulated station and checks the records as they arrive.
 * Usage: c_host_test STATION_DIR (the deployment directory of the simulated station). */
#define _POSIX_C_SOURCE 200809L
#include <qrx/host_events.h>

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int failures = 0;
#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                              \
    }                                                                          \
  } while (0)

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

  /* A healthy device, then a faulty one on another station: failed items carry FAIL. */
  Expected healthy = {3, 1, 0, 0, 0}, faulty = {4, 0, 0, 0, 0};
  CHECK(set(&on_item, &healthy) == 0);
  CHECK(init(3, "QRX_Station.xml", "QRX") == 0);
  CHECK(meas(1, 62, 5) == 0);
  CHECK(healthy.count >= 1 && healthy.failed == 0);
  CHECK(cleanup() == 0);
  CHECK(set(&on_item, &faulty) == 0);
  CHECK(init(4, "QRX_Faulty.xml", "QRX") == 0);
  CHECK(meas(1, 62, 5) != 0);
  CHECK(faulty.failed >= 1);

  /* Removed: nothing more arrives. */
  CHECK(set(NULL, NULL) == 0);
  const int before = faulty.count;
  meas(1, 62, 5);
  CHECK(faulty.count == before);
  CHECK(cleanup() == 0);

  char command[4300];
  snprintf(command, sizeof command, "rm -rf '%s'", state);
  if (system(command) != 0) fprintf(stderr, "could not remove %s\n", state);
  if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
  else printf("C host: %d records checked\n", healthy.count + faulty.count);
  return failures ? 1 : 0;
}
