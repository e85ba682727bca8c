/* What the interface library requires of a BI plug-in.
 *
 * A plug-in is a shared library in Plugins/ (BI_QRX.so, BI_GSM_QRX.so, XA_BIAR9344.so,
 * BI_QRX_UFI_NET.so) exporting, as plain C functions:
 *
 *     void *Create(void);          root object; called once per process
 *     void *LoadQRXDll(int zero);  SN object (phone and UFI plug-ins); argument always 0
 *
 * Objects are called by 0-based position in their table of virtual functions: the object
 * starts with a pointer to its table, and entry i is called as a member function of the
 * object with the arguments listed here, in the compiler's convention for member functions
 * (QRX_MEMBER in qrx/calling_convention.h: thiscall on 32-bit x86 Windows, where the object
 * travels in ECX and the callee removes the arguments; the C convention with the object as
 * first argument everywhere else). A C++ class whose virtual functions are declared in table
 * order (RootObject, PhoneSnObject and UfiSnObject below are such classes) is called right on
 * every architecture; a virtual destructor would take table entries, so the objects end
 * through their release positions. A "string object by value" is a std::string passed by
 * value, "by reference" a std::string&; both need the library's C++ runtime (GCC's
 * libstdc++, MinGW-w64 on Windows). "ti" is the calling station's thread index ("ThreadIndex"
 * of its parameter data set, -1 when absent).
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
 * libQRXInterface.so / QRXInterface.dll; link the plug-in with -lQRXInterface), or on
 * Windows with the system's own SendMessageA / PostMessageA.
 *
 * The C part (message numbers, entry-point types) compiles as C. The C++ part (positions,
 * buffer sizes, the object classes) needs C++17 or later (nested namespaces, inline variables):
 * compile plug-ins with -std=c++17 or newer. */
#ifndef QRX_PLUGIN_BOUNDARY_H
#define QRX_PLUGIN_BOUNDARY_H

#include <stddef.h>
#include <stdint.h>

#include <qrx/calling_convention.h>
#include <qrx/table_order.h>

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

#include <string>

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

/* Base classes whose virtual functions sit at the positions above, in table order, with the
 * arguments listed there. Derive, override what the plug-in serves (the names say the
 * position), and return the object from "Create" / "LoadQRXDll":
 *
 *     class MySn final : public qrx::plugin::PhoneSnObject {
 *     public:
 *       int OpenPort(int a, int b, int ti) override { ...; return 0; }
 *       void Release() override { delete this; }
 *     };
 *     extern "C" __declspec(dllexport) void *LoadQRXDll(int) {
 *       return static_cast<qrx::plugin::PhoneSnObject *>(new MySn);
 *     }
 *
 * Positions not overridden answer 0 (a null text for kSnGetSettingsFile) and leave their
 * arguments alone. The library calls each position as the compiler calls a member function
 * (QRX_MEMBER: thiscall on 32-bit x86 Windows), so a class of your own whose virtual
 * functions are declared in table order, without a virtual destructor, serves as well. */
namespace detail {
using qrx::table::Gap;
using qrx::table::Start;

class RootHead : public Gap<Start, 0, 1> {
public:
  virtual void Release() {} /* 1 */
protected:
  ~RootHead() = default;
};

class SnHead : public Gap<Start, 0, 2> {
public:
  virtual int OpenPort(int, int, int) { return 0; } /* 2 */
  virtual int ClosePort(int) { return 0; }          /* 3 */
protected:
  ~SnHead() = default;
};
class SnNames : public Gap<SnHead, 4, 13> {
public:
  virtual int SetModel(std::string &) { return 0; }           /* 13 */
  virtual const char *SettingsFile() { return nullptr; }      /* 14 */
  virtual int SetPhoneType(const char *) { return 0; }        /* 15 */
protected:
  ~SnNames() = default;
};
class SnCommon : public Gap<SnNames, 16, 17> {
public:
  virtual void Release() {} /* 17 */
protected:
  ~SnCommon() = default;
};

class PhoneCabLoss : public Gap<SnCommon, 18, 53> {
public:
  virtual int TddTxInitCabLoss(int16_t, int, int, int, int, int, int, int, int, int) { return 0; } /* 53 */
  virtual int TddTxClose(int) { return 0; } /* 54 */
protected:
  ~PhoneCabLoss() = default;
};
class PhoneFddCabLoss : public Gap<PhoneCabLoss, 55, 75> {
public:
  virtual int FddTxInitCabLoss(int16_t, int, int, int, int, int, int, int, int, int) { return 0; } /* 75 */
  virtual int FddTxClose(int) { return 0; } /* 76 */
protected:
  ~PhoneFddCabLoss() = default;
};
class PhoneFirstCopies : public Gap<PhoneFddCabLoss, 77, 94> {
public:
  virtual int WriteSnFirstCopy(const char *, int, int) { return 0; }   /* 94 */
  virtual int ReadSnFirstCopy(char *, int, int) { return 0; }          /* 95 */
  virtual int WriteImeiFirstCopy(const char *, int, int) { return 0; } /* 96 */
  virtual int ReadImeiFirstCopy(char *, int, int) { return 0; }        /* 97 */
  virtual int WriteMsn(const char *, int, int) { return 0; }           /* 98 */
  virtual int ReadMsn(char *, int, int) { return 0; }                  /* 99 */
  virtual int ReadPsn(char *, int, int) { return 0; }                  /* 100 */
  virtual int WritePsn(const char *, int, int) { return 0; }           /* 101 */
protected:
  ~PhoneFirstCopies() = default;
};
class PhoneFlags : public Gap<PhoneFirstCopies, 102, 103> {
public:
  virtual int ReadFlags(int, char *, int) { return 0; }          /* 103 */
  virtual int ReadIntSoftVersion(char *, int, int) { return 0; } /* 104 */
protected:
  ~PhoneFlags() = default;
};
class PhoneSecondCopies : public Gap<PhoneFlags, 105, 106> {
public:
  virtual int WriteSnSecondCopy(const char *, int, int) { return 0; }   /* 106 */
  virtual int ReadSnSecondCopy(char *, int, int) { return 0; }          /* 107 */
  virtual int WriteImeiSecondCopy(const char *, int, int) { return 0; } /* 108 */
  virtual int ReadImeiSecondCopy(char *, int, int) { return 0; }        /* 109 */
  virtual int DownloadWindow(void *) { return 0; }                      /* 110 */
  virtual int DownloadStartStop(int, int) { return 0; }                 /* 111 */
  virtual int DownloadOption(int, int) { return 0; }                    /* 112 */
protected:
  ~PhoneSecondCopies() = default;
};
class PhoneReserved : public Gap<PhoneSecondCopies, 113, 115> {
public:
  virtual int Reserved(int, int, int) { return 0; } /* 115 */
protected:
  ~PhoneReserved() = default;
};

class UfiFirstCopies : public Gap<SnCommon, 18, 91> {
public:
  virtual int WriteSnFirstCopy(const char *, int, int) { return 0; } /* 91 */
  virtual int ReadSnFirstCopy(char *, int, int) { return 0; }        /* 92 */
  virtual void Placeholder(qrx::table::Unassigned<93>) {}
  virtual int WriteImeiFirstCopy(const char *, int, int) { return 0; } /* 94 */
  virtual void Placeholder(qrx::table::Unassigned<95>) {}
  virtual int ReadImeiFirstCopy(char *, int, int) { return 0; } /* 96 */
  virtual void Placeholder(qrx::table::Unassigned<97>) {}
  virtual int WriteMsn(const char *, int, int) { return 0; } /* 98 */
  virtual void Placeholder(qrx::table::Unassigned<99>) {}
  virtual int ReadMsn(char *, int, int) { return 0; } /* 100 */
  using Gap<SnCommon, 18, 91>::Placeholder;
protected:
  ~UfiFirstCopies() = default;
};
class UfiFlags : public Gap<UfiFirstCopies, 101, 106> {
public:
  virtual int ReadFlags(int, char *, int) { return 0; }          /* 106 */
  virtual int ReadIntSoftVersion(char *, int, int) { return 0; } /* 107 */
  virtual void Placeholder(qrx::table::Unassigned<108>) {}
  virtual int PortCheck1(int) { return 0; }                      /* 109 */
  virtual int PortCheck2(int) { return 0; }                      /* 110 */
  virtual void Placeholder(qrx::table::Unassigned<111>) {}
  virtual int WriteSnThirdCopy(std::string, int) { return 0; }   /* 112 */
  virtual int ReadSnThirdCopy(std::string &, int) { return 0; }  /* 113 */
  virtual int WriteMac(std::string, int, int) { return 0; }      /* 114 */
  virtual int ReadMac(std::string &, int, int) { return 0; }     /* 115 */
  virtual int PortCheck3(int) { return 0; }                      /* 116 */
  virtual int WriteSsid(int) { return 0; }                       /* 117 */
  virtual void Placeholder(qrx::table::Unassigned<118>) {}
  virtual int ReadSsid(std::string &, int) { return 0; }         /* 119 */
  using Gap<UfiFirstCopies, 101, 106>::Placeholder;
protected:
  ~UfiFlags() = default;
};
class UfiSecondCopies : public Gap<UfiFlags, 120, 122> {
public:
  virtual int ReadIntSoftVersionUfi(char *, int) { return 0; }           /* 122 */
  virtual int ReadTestInfoUfi(char *, int) { return 0; }                 /* 123 */
  virtual int WriteSnSecondCopy(const char *, int, int) { return 0; }    /* 124 */
  virtual int ReadSnSecondCopy(char *, int, int) { return 0; }           /* 125 */
  virtual int WriteImeiSecondCopy(const char *, int, int) { return 0; }  /* 126 */
  virtual int ReadImeiSecondCopy(char *, int, int) { return 0; }         /* 127 */
  virtual int DownloadWindow(void *) { return 0; }                       /* 128 */
  virtual int DownloadStartStop(int, int) { return 0; }                  /* 129 */
  virtual int DownloadOption(int, int) { return 0; }                     /* 130 */
  virtual int DownloadExtra(int, int, std::string) { return 0; }         /* 131 */
protected:
  ~UfiSecondCopies() = default;
};
class UfiFlagItems : public Gap<UfiSecondCopies, 132, 134> {
public:
  virtual int Reserved(int, int, int) { return 0; } /* 134 */
  virtual void Placeholder(qrx::table::Unassigned<135>) {}
  virtual int ReadFlagsAt(int, char *, int) { return 0; }       /* 136 */
  virtual int WriteFlag(int, const char *, int) { return 0; }   /* 137 */
  using Gap<UfiSecondCopies, 132, 134>::Placeholder;
protected:
  ~UfiFlagItems() = default;
};
} // namespace detail

/* The root object (result of "Create"): positions 1 and 3. */
class RootObject : public qrx::table::Gap<detail::RootHead, 2, 3> {
public:
  virtual int Initialise(int) { return 0; } /* 3, given kRootInitialiseValue */
protected:
  ~RootObject() = default;
};

/* The phone SN object (BI_QRX's "LoadQRXDll"): kPhoneSnTableSize positions. */
class PhoneSnObject : public qrx::table::Gap<detail::PhoneReserved, 116, 117> {
public:
  virtual int ReadFlagsAt(int, char *, int) { return 0; }     /* 117 */
  virtual int WriteFlag(int, const char *, int) { return 0; } /* 118 */
protected:
  ~PhoneSnObject() = default;
};

/* The UFI SN object (BI_QRX_UFI_NET's "LoadQRXDll"): kUfiSnTableSize positions. */
class UfiSnObject : public qrx::table::Gap<detail::UfiFlagItems, 138, 168> {
public:
  virtual int PrepareFirst() { return 0; }    /* 168 */
  virtual int PrepareSecond(int) { return 0; } /* 169, given 1 */
protected:
  ~UfiSnObject() = default;
};

} // namespace qrx::plugin

#endif /* __cplusplus */

#endif
