/* What the interface library requires of a BI plug-in.
 *
 * A plug-in is a shared library in Plugins/ (BI_QRX.so, BI_GSM_QRX.so, XA_BIAR9344.so,
 * BI_QRX_UFI_NET.so) exporting, as plain C functions:
 *
 *     void *Create(void);          root object; called once per process
 *     void *LoadQRXDll(int zero);  SN object (phone and UFI plug-ins); argument always 0
 *
 * Objects are called by 0-based position in their table of virtual functions (Itanium C++
 * ABI: the object starts with a pointer to its table; entry i is a function whose first
 * argument is the object, followed by the arguments listed here). A "string object by value"
 * is a std::string passed by value, "by reference" a std::string&. "ti" is the calling
 * station's thread index ("ThreadIndex" of its parameter data set, -1 when absent).
 *
 * Success rules: "zero" means 0 is success; "one" means exactly 1 is success; "nonzero"
 * means any value other than 0 is success.
 *
 * Entries whose success rule is "ignored" may return anything (an int is conventional).
 * Read positions receive a zero-filled buffer of the size given (kSnBufferSize, ...) and must
 * leave a zero-terminated text in it; reads through a std::string& fill the string, and the
 * library accepts at most 49 bytes for the third SN copy and 63 for a MAC address or SSID.
 * "two values" positions (MSN, PSN, software version, flag item and text) and the UFI forms
 * of test info and software version receive the host's
 * pointers and integers unchanged; the host sized its buffers for what the plug-in writes.
 *
 * Progress of a download is reported to the window handle given at kPhoneDownloadWindow /
 * kUfiDownloadWindow with QRX_SendMessage or QRX_PostMessage (exported by
 * libQRXInterface.so; link the plug-in with -lQRXInterface).
 *
 * The C part (message numbers, entry-point types) compiles as C. The C++ part (positions,
 * buffer sizes, the table builder) needs C++17 or later (nested namespaces, inline variables):
 * compile plug-ins with -std=c++17 or newer. */
#ifndef QRX_PLUGIN_BOUNDARY_H
#define QRX_PLUGIN_BOUNDARY_H

#include <stddef.h>
#include <stdint.h>

#include <qrx/calling_convention.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Window messages of a download's progress (WM_USER + 100 .. + 104). */
enum {
  QRX_WM_USER = 0x400,
  QRX_MSG_PROGRESS_0 = 0x464, /* kind 0 */
  QRX_MSG_PROGRESS_1 = 0x465, /* kind 1 */
  QRX_MSG_PROGRESS_2 = 0x466, /* kind 2 */
  QRX_MSG_PROGRESS_3 = 0x467, /* kind 3 */
  QRX_MSG_PROGRESS_4 = 0x468  /* kind 4 */
};

/* Handles the message on the window's own thread and returns the handler's result. */
intptr_t QRX_CALL QRX_SendMessage(void *window, unsigned message, uintptr_t wparam, intptr_t lparam);
/* Queues the message for the window's thread; returns 1. */
int QRX_CALL QRX_PostMessage(void *window, unsigned message, uintptr_t wparam, intptr_t lparam);

typedef void *(*QRXPluginCreateFn)(void);
typedef void *(*QRXPluginLoadQRXDllFn)(int zero);

#ifdef __cplusplus
}

#if __cplusplus < 201703L
#error "qrx/plugin_boundary.h needs C++17 or later: compile with -std=c++17 (or newer)"
#endif

namespace qrx::plugin {

/* Root object of every plug-in (the result of "Create"). Results are ignored. */
enum RootPosition : int {
  kRootRelease = 1,    /* ()           at library unload */
  kRootInitialise = 3, /* (int 6)      right after Create */
};
inline constexpr int kRootInitialiseValue = 6;

/* SN object of every phone and UFI plug-in (the result of "LoadQRXDll"). */
enum SnCommonPosition : int {
  kSnRelease = 17,          /* ()                              at library unload */
  kSnSetModel = 13,         /* (std::string &model)            result ignored */
  kSnGetSettingsFile = 14,  /* () -> const char *              download INI path, plug-in owned */
  kSnSetPhoneType = 15,     /* (const char *phoneType)         zero */
};

/* Phone SN object (BI_QRX). */
enum PhoneSnPosition : int {
  kPhoneOpenPort = 2,             /* (int a, int b, int ti)                      zero */
  kPhoneClosePort = 3,            /* (int ti)                                    zero */
  kPhoneTddTxInitCabLoss = 53,    /* (int16_t v1x10, int v2..v8, int 0, int ti)  zero */
  kPhoneTddTxClose = 54,          /* (int ti)                                    zero */
  kPhoneFddTxInitCabLoss = 75,    /* (int16_t v1x10, int v2..v8, int 0, int ti)  zero */
  kPhoneFddTxClose = 76,          /* (int ti)                                    zero */
  kPhoneWriteSnFirstCopy = 94,    /* (const char *sn, int extra, int ti)          zero */
  kPhoneReadSnFirstCopy = 95,     /* (char buf[50], int extra, int ti)            zero */
  kPhoneWriteImeiFirstCopy = 96,  /* (const char *imei, int extra, int ti)        zero */
  kPhoneReadImeiFirstCopy = 97,   /* (char buf[16], int extra, int ti)            zero */
  kPhoneWriteMsn = 98,            /* (const char *msn, int extra, int ti)         zero */
  kPhoneReadMsn = 99,             /* (char *out, int extra, int ti)               zero */
  kPhoneReadPsn = 100,            /* (char *out, int extra, int ti)               zero */
  kPhoneWritePsn = 101,           /* (const char *psn, int extra, int ti)         zero */
  kPhoneReadFlags = 103,          /* (int 20, char buf[41], int ti)               zero */
  kPhoneReadIntSoftVersion = 104, /* (char *out, int extra, int ti)               zero */
  kPhoneWriteSnSecondCopy = 106,  /* (const char *sn, int extra, int ti)          zero */
  kPhoneReadSnSecondCopy = 107,   /* (char buf[50], int extra, int ti)            zero */
  kPhoneWriteImeiSecondCopy = 108,/* (const char *imei, int extra, int ti)        zero */
  kPhoneReadImeiSecondCopy = 109, /* (char buf[16], int extra, int ti)            zero */
  kPhoneDownloadWindow = 110,     /* (void *window)                               ignored */
  kPhoneDownloadStartStop = 111,  /* (int 1, int 0) start, (int 0, int 0) stop   ignored */
  kPhoneDownloadOption = 112,     /* (int option, int 1)                          ignored */
  kPhoneReserved = 115,           /* (int 0, int value, int ti)                   zero */
  kPhoneReadFlagsAt = 117,        /* (int item, char *out, int ti)                zero */
  kPhoneWriteFlag = 118,          /* (int item, const char *text, int ti)         zero */
};

/* UFI SN object (BI_QRX_UFI_NET). */
enum UfiSnPosition : int {
  kUfiOpenPort = 2,               /* (int a, int b, int 0)                        zero */
  kUfiClosePort = 3,              /* (int ti)                                     zero */
  kUfiWriteSnFirstCopy = 91,      /* (const char *sn, int extra, int ti)          zero */
  kUfiReadSnFirstCopy = 92,       /* (char buf[50], int extra, int ti)            zero */
  kUfiWriteImeiFirstCopy = 94,    /* (const char *imei, int extra, int ti)        zero */
  kUfiReadImeiFirstCopy = 96,     /* (char buf[16], int extra, int ti)            zero */
  kUfiWriteMsn = 98,              /* (const char *msn, int extra, int ti)         zero */
  kUfiReadMsn = 100,              /* (char *out, int extra, int ti)               zero */
  kUfiReadFlags = 106,            /* (int 20, char buf[41], int ti)               zero */
  kUfiReadIntSoftVersion = 107,   /* (char *out, int extra, int ti)               zero */
  kUfiPortCheck1 = 109,           /* (int ti)                                     one */
  kUfiPortCheck2 = 110,           /* (int ti)                                     one */
  kUfiWriteSnThirdCopy = 112,     /* (std::string sn, int ti)                     nonzero */
  kUfiReadSnThirdCopy = 113,      /* (std::string &out, int ti)                   nonzero */
  kUfiWriteMac = 114,             /* (std::string mac, int 0, int ti)             one (after WriteSN: nonzero) */
  kUfiReadMac = 115,              /* (std::string &out, int 0, int ti)            one */
  kUfiPortCheck3 = 116,           /* (int ti)                                     one */
  kUfiWriteSsid = 117,            /* (int ti)                                     one */
  kUfiReadSsid = 119,             /* (std::string &out, int ti)                   nonzero */
  kUfiReadIntSoftVersionUfi = 122,/* (char *out, int ti)  host's buffer            nonzero */
  kUfiReadTestInfoUfi = 123,      /* (char *out, int ti)  host's buffer            nonzero */
  kUfiWriteSnSecondCopy = 124,    /* (const char *sn, int extra, int ti)          zero */
  kUfiReadSnSecondCopy = 125,     /* (char buf[50], int extra, int ti)            zero */
  kUfiWriteImeiSecondCopy = 126,  /* (const char *imei, int extra, int ti)        zero */
  kUfiReadImeiSecondCopy = 127,   /* (char buf[16], int extra, int ti)            zero */
  kUfiDownloadWindow = 128,       /* (void *window)                               ignored */
  kUfiDownloadStartStop = 129,    /* (int 1, int 0) start, (int 0, int 0) stop   ignored */
  kUfiDownloadOption = 130,       /* (int option, int 1)                          ignored */
  kUfiDownloadExtra = 131,        /* (int extra1, int extra2, std::string text)   ignored */
  kUfiReserved = 134,             /* (int 0, int value, int ti)                   zero */
  kUfiReadFlagsAt = 136,          /* (int item, char *out, int ti)                zero */
  kUfiWriteFlag = 137,            /* (int item, const char *text, int ti)         zero */
  kUfiPrepareFirst = 168,         /* ()                                           ignored */
  kUfiPrepareSecond = 169,        /* (int 1)                                      ignored */
};

/* Sizes of the buffers the library hands to the read positions. */
inline constexpr size_t kSnBufferSize = 50;
inline constexpr size_t kImeiBufferSize = 16;
inline constexpr size_t kFlagBufferSize = 41;
inline constexpr int kFlagReadCount = 20;

/* An SN or root object's table must reach at least this many entries. */
inline constexpr int kPhoneSnTableSize = 119;
inline constexpr int kUfiSnTableSize = 170;
inline constexpr int kRootTableSize = 4;

/* A table of N entries laid out as the library calls it: build it once (a static), fill the
 * positions your plug-in serves, and start each object with its AddressPoint(). Entries you
 * leave unset answer 0 without touching their arguments.
 *
 *     struct PhoneSn { const void *const *table; int opened; };
 *     int OpenPort(PhoneSn *self, int a, int b, int ti) { self->opened = 1; return 0; }
 *     static const qrx::plugin::Table<qrx::plugin::kPhoneSnTableSize> kSnTable =
 *         qrx::plugin::Table<qrx::plugin::kPhoneSnTableSize>()
 *             .Set(qrx::plugin::kPhoneOpenPort, &OpenPort);
 *     extern "C" void *LoadQRXDll(int) { return new PhoneSn{kSnTable.AddressPoint(), 0}; }
 *
 * Each function takes the object first, then exactly the arguments listed at its position;
 * the library passes an int16_t at the cable-loss inits and std::string by value or by
 * reference where the list says so. */
template <int N> class Table {
public:
  Table() {
    entries_[0] = nullptr; /* offset to top */
    entries_[1] = nullptr; /* type information */
    for (int i = 0; i < N; ++i) entries_[2 + i] = reinterpret_cast<void *>(&Unset);
  }
  template <typename Fn> Table &Set(int position, Fn *fn) {
    if (position >= 0 && position < N) entries_[2 + position] = reinterpret_cast<void *>(fn);
    return *this;
  }
  /* What the object's first word must point at: the entry of position 0. */
  const void *const *AddressPoint() const { return entries_ + 2; }

private:
  static long Unset(void *) { return 0; }
  void *entries_[N + 2];
};

} // namespace qrx::plugin

#endif /* __cplusplus */

#endif
