/* A Windows host written in C against the public headers only, as a test-runner vendor would
 * write one: loads QRXInterface.dll from a deployment folder, starts stations on their own
 * threads (one at a time, as the registry wants), calls exports in parallel, downloads an
 * image on every station through the library's hidden progress window and checks what its
 * stdcall callback received. Then unloads: FreeLibrary after the last station ended unloads
 * the library and its plug-ins; FreeLibrary and the process's end with a station open, its
 * progress window running and a message box open on another thread return within a bound.
 * Reads the station journals the deployment's Recording.xml asked for. Exit code 0 when
 * everything held. */
#include <qrx/qrx_interface.h>

#include <windows.h>

#include <stdio.h>
#include <string.h>

#define STATIONS 3

typedef int(QRX_CALL *InitFn)(int, const char *, const char *);
typedef int(QRX_CALL *VoidFn)(void);
typedef int(QRX_CALL *MeasFn)(int, int, int);
typedef int(QRX_CALL *TextOutFn)(char *);
typedef int(QRX_CALL *DownloadFn)(const char *, int, QRXDownloadCallback, const char *, int, int,
                                  const char *);
typedef int(QRX_CALL *BoxHandlerFn)(QRXMessageBoxFn, void *);

static InitFn g_init;
static VoidFn g_cleanup, g_initTestInterface, g_initDownload;
static MeasFn g_measPower;
static TextOutFn g_readSn;
static int(QRX_CALL *g_writeSn)(const char *, int);
static DownloadFn g_download;

static HANDLE g_turn[STATIONS], g_turnDone[STATIONS], g_run, g_cleanTurn[STATIONS];
static volatile LONG g_failures, g_progress, g_finished, g_succeeded, g_boxes;
static DWORD g_stationThreads[STATIONS];

static void Fail(int station, const char *what, int got) {
  printf("station %d: %s (got %d)\n", station, what, got);
  InterlockedIncrement(&g_failures);
}

/* Runs on the library's window thread, never on a station's. */
static int32_t QRX_CALLBACK OnProgress(QRXDownloadEvent e) {
  int i;
  for (i = 0; i < STATIONS; ++i)
    if (g_stationThreads[i] == GetCurrentThreadId()) InterlockedIncrement(&g_failures);
  if (e.kind == 1) InterlockedIncrement(&g_progress);
  if (e.kind == 3) {
    InterlockedIncrement(&g_finished);
    if (e.value5 == 1) InterlockedIncrement(&g_succeeded);
  }
  return 0;
}

static HANDLE g_boxOpen, g_boxClose;

static void OnMessageBox(void *context, const char *caption, const char *text) {
  (void)context;
  if (g_boxOpen) { /* the unload phase: the box stays open until the process ends */
    SetEvent(g_boxOpen);
    WaitForSingleObject(g_boxClose, INFINITE);
    return;
  }
  printf("message box %s: %s\n", caption, text);
  InterlockedIncrement(&g_boxes);
}

static DWORD WINAPI FreeOnThread(LPVOID lib) {
  FreeLibrary((HMODULE)lib);
  return 0;
}

/* FreeLibrary must return within ten seconds whatever the library is doing. */
static void FreeWithinBound(HMODULE lib, const char *when) {
  HANDLE t = CreateThread(NULL, 0, &FreeOnThread, lib, 0, NULL);
  if (WaitForSingleObject(t, 10000) != WAIT_OBJECT_0) {
    printf("FreeLibrary %s did not return\n", when);
    fflush(stdout);
    ExitProcess(3);
  }
  CloseHandle(t);
}

/* A station that stays open: a download through its progress window, then a message box. */
static DWORD WINAPI OpenStation(LPVOID arg) {
  int r;
  (void)arg;
  if ((r = g_init(7, "QRX_Station.xml", "QRX")) != 0) Fail(7, "InitQRXInterface", r);
  if ((r = g_initDownload()) != 0) Fail(7, "Init_TestDll_DL", r);
  if ((r = g_download("Images\\sim_image.bin", 0, &OnProgress, "", 0, 0, "")) != 0)
    Fail(7, "StartDownloadImage", r);
  SetEvent(g_turnDone[0]);
  WaitForSingleObject(g_run, INFINITE);
  /* A configuration file in a folder that does not exist: the library shows a message box. */
  g_init(8, "NoSuchFolder\\QRX_Station.xml", "QRX");
  return 0;
}

static DWORD WINAPI Station(LPVOID arg) {
  int i = (int)(INT_PTR)arg, r;
  char sn[QRX_READBACK_BUFFER_SIZE];
  g_stationThreads[i] = GetCurrentThreadId();
  WaitForSingleObject(g_turn[i], INFINITE);
  r = g_init(i, "QRX_Station.xml", "QRX");
  if (r != 0) Fail(i, "InitQRXInterface", r);
  SetEvent(g_turnDone[i]);
  WaitForSingleObject(g_run, INFINITE);
  if ((r = g_initTestInterface()) != 0) Fail(i, "Init_TestInterface", r);
  if ((r = g_measPower(1, 62, 5)) != 0) Fail(i, "GSM_NST_MeasPower", r);
  if ((r = g_readSn(NULL)) != 1) Fail(i, "ReadSN(NULL) must answer 1", r);
  memset(sn, 0, sizeof sn);
  g_readSn(sn);
  g_writeSn("\xB2\xE2\xCA\xD4", 0); /* GBK: reaches the journal as UTF-8 */
  if ((r = g_initDownload()) != 0) Fail(i, "Init_TestDll_DL", r);
  if ((r = g_download("Images\\sim_image.bin", 0, &OnProgress, "", 0, 0, "")) != 0)
    Fail(i, "StartDownloadImage", r);
  SetEvent(g_turnDone[i]);
  WaitForSingleObject(g_cleanTurn[i], INFINITE);
  if ((r = g_cleanup()) != 0) Fail(i, "CleanUpQRXInterface", r);
  return 0;
}

/* Calls visit on every journal file named with this process's id (Wine hands ids out again, so
 * files an earlier process with the same id left match too); the number of files. */
static int ForEachJournal(void (*visit)(const char *path)) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA("Journal\\*.jsonl", &found);
  char mark[32], path[MAX_PATH + 16];
  int files = 0;
  if (find == INVALID_HANDLE_VALUE) return 0;
  snprintf(mark, sizeof mark, "-%lu-", GetCurrentProcessId());
  do {
    if (!strstr(found.cFileName, mark)) continue;
    ++files;
    snprintf(path, sizeof path, "Journal\\%s", found.cFileName);
    visit(path);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return files;
}

/* Before the run: what an earlier process with this id left is not this run's. */
static void RemoveJournal(const char *path) { DeleteFileA(path); }

/* One journal per station, each whole from its start to its end, with the download and the GBK
 * serial number in UTF-8. */
static void CheckJournal(const char *path) {
  static const char *const kNeeded[] = {
      "\"type\":\"station_start\"", "\"type\":\"unit_begin\"", "\"phase\":\"start\"",
      "\"image\":\"Images\\\\sim_image.bin\"", "\"WriteSN\",\"args\":[\"\xE6\xB5\x8B\xE8\xAF\x95\"",
      "\"type\":\"station_end\""};
  static char text[1 << 20];
  FILE *f = fopen(path, "rb");
  size_t n = f ? fread(text, 1, sizeof text - 1, f) : 0, k;
  if (f) fclose(f);
  text[n] = '\0';
  for (k = 0; k < sizeof kNeeded / sizeof kNeeded[0]; ++k)
    if (!strstr(text, kNeeded[k])) {
      printf("%s lacks %s\n", path, kNeeded[k]);
      Fail(-1, "journal content", (int)k);
    }
}

/* Loads the library and finds the exports this host calls; NULL when either fails. */
static HMODULE Load(const char *path) {
  HMODULE lib = LoadLibraryA(path);
  BoxHandlerFn setBox;
  if (!lib) {
    fprintf(stderr, "cannot load %s: %lu\n", path, GetLastError());
    return NULL;
  }
  g_init = (InitFn)(void (*)(void))GetProcAddress(lib, "InitQRXInterface");
  g_cleanup = (VoidFn)(void (*)(void))GetProcAddress(lib, "CleanUpQRXInterface");
  g_initTestInterface = (VoidFn)(void (*)(void))GetProcAddress(lib, "Init_TestInterface");
  g_initDownload = (VoidFn)(void (*)(void))GetProcAddress(lib, "Init_TestDll_DL");
  g_measPower = (MeasFn)(void (*)(void))GetProcAddress(lib, "GSM_NST_MeasPower");
  g_readSn = (TextOutFn)(void (*)(void))GetProcAddress(lib, "ReadSN");
  g_download = (DownloadFn)(void (*)(void))GetProcAddress(lib, "StartDownloadImage");
  g_writeSn = (int(QRX_CALL *)(const char *, int))(void (*)(void))GetProcAddress(lib, "WriteSN");
  setBox = (BoxHandlerFn)(void (*)(void))GetProcAddress(lib, "QRX_SetMessageBoxHandler");
  if (!g_init || !g_cleanup || !g_initTestInterface || !g_initDownload || !g_measPower ||
      !g_readSn || !g_download || !g_writeSn || !setBox) {
    fprintf(stderr, "an export is missing\n");
    return NULL;
  }
  setBox(&OnMessageBox, NULL);
  return lib;
}

int main(int argc, char **argv) {
  HMODULE lib;
  HANDLE threads[STATIONS];
  char path[MAX_PATH * 2];
  int i, waited;
  if (argc != 2 || !SetCurrentDirectoryA(argv[1])) {
    fprintf(stderr, "usage: c_host DEPLOYMENT_DIR (an existing folder)\n");
    return 2;
  }
  ForEachJournal(&RemoveJournal);
  snprintf(path, sizeof path, "%s\\QRXInterface.dll", argv[1]);
  if (!(lib = Load(path))) return 2;
  g_run = CreateEventA(NULL, TRUE, FALSE, NULL);
  for (i = 0; i < STATIONS; ++i) {
    g_turn[i] = CreateEventA(NULL, FALSE, FALSE, NULL);
    g_turnDone[i] = CreateEventA(NULL, FALSE, FALSE, NULL);
    g_cleanTurn[i] = CreateEventA(NULL, FALSE, FALSE, NULL);
    threads[i] = CreateThread(NULL, 0, &Station, (LPVOID)(INT_PTR)i, 0, NULL);
  }
  for (i = 0; i < STATIONS; ++i) {
    SetEvent(g_turn[i]);
    WaitForSingleObject(g_turnDone[i], INFINITE);
  }
  SetEvent(g_run);
  for (i = 0; i < STATIONS; ++i) WaitForSingleObject(g_turnDone[i], INFINITE);
  for (waited = 0; g_finished < STATIONS && waited < 60000; waited += 50) Sleep(50);
  for (i = 0; i < STATIONS; ++i) {
    SetEvent(g_cleanTurn[i]);
    WaitForSingleObject(threads[i], INFINITE);
  }
  if (g_finished != STATIONS) Fail(-1, "downloads finished", (int)g_finished);
  if (g_succeeded != STATIONS) Fail(-1, "downloads succeeded", (int)g_succeeded);
  if (g_progress < STATIONS) Fail(-1, "progress reports", (int)g_progress);
  if (g_boxes != 0) Fail(-1, "message boxes", (int)g_boxes);
  /* The last station has ended: the library and its plug-ins go. */
  FreeWithinBound(lib, "after the last station");
  if (GetModuleHandleA("QRXInterface.dll")) Fail(-1, "library still loaded", 0);
  if (GetModuleHandleA("BI_QRX.dll")) Fail(-1, "plug-in still loaded", 0);
  if ((i = ForEachJournal(&CheckJournal)) != STATIONS) Fail(-1, "journal files of this process", i);
  printf("%d stations, %ld progress reports, %ld failures\n", STATIONS, g_progress, g_failures);

  /* Loaded again: a station stays open with its download window, a message box is open. */
  if (!(lib = Load(path))) return 2;
  g_boxOpen = CreateEventA(NULL, TRUE, FALSE, NULL);
  g_boxClose = CreateEventA(NULL, TRUE, FALSE, NULL);
  ResetEvent(g_run);
  g_finished = 0;
  CreateThread(NULL, 0, &OpenStation, NULL, 0, NULL);
  WaitForSingleObject(g_turnDone[0], INFINITE);
  for (waited = 0; g_finished < 1 && waited < 60000; waited += 50) Sleep(50);
  if (g_finished != 1) Fail(-1, "download with a station open", (int)g_finished);
  SetEvent(g_run);
  if (WaitForSingleObject(g_boxOpen, 30000) != WAIT_OBJECT_0) Fail(-1, "message box shown", 0);
  FreeWithinBound(lib, "with a station open and a message box");
  printf("unloading: %ld failures\n", g_failures);
  fflush(stdout);
  /* The process ends with the station open and the box still up. */
  return g_failures ? 1 : 0;
}
