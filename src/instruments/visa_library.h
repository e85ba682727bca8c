// The seven VISA functions that identify a tester, looked up by name in the station's VISA
// library for one query and released with it.
#pragma once

#include "platform/dynamic_library.h"

#include <qrx/calling_convention.h>

#include <cstdint>

namespace qrx {

// Types of the published VISA C interface (IVI VPP-4.3.2), declared here so that no VISA
// header is needed to build the library. The functions use VISA's convention (QRX_VISA,
// stdcall on 32-bit Windows) except the variadic viQueryf, which is a C function.
using ViStatus = int32_t;
using ViUInt32 = uint32_t;
using ViSession = uint32_t;
using ViObject = uint32_t;
using ViFindList = uint32_t;
using ViAccessMode = uint32_t;

inline constexpr ViStatus kViSuccess = 0;
inline constexpr ViSession kViNull = 0;
inline constexpr ViAccessMode kViNoLock = 0;
// Size of a resource description as viFindRsrc and viFindNext write it (VI_FIND_BUFLEN).
inline constexpr int kViFindBufferLength = 256;

using ViOpenDefaultRMFn = ViStatus(QRX_VISA *)(ViSession *resourceManager);
using ViOpenFn = ViStatus(QRX_VISA *)(ViSession resourceManager, const char *resourceName,
                              ViAccessMode accessMode, ViUInt32 openTimeout, ViSession *vi);
using ViClearFn = ViStatus(QRX_VISA *)(ViSession vi);
using ViQueryfFn = ViStatus (*)(ViSession vi, const char *writeFormat, const char *readFormat,
                                ...);
using ViCloseFn = ViStatus(QRX_VISA *)(ViObject object);
using ViFindRsrcFn = ViStatus(QRX_VISA *)(ViSession resourceManager, const char *expression,
                                  ViFindList *findList, ViUInt32 *count, char *description);
using ViFindNextFn = ViStatus(QRX_VISA *)(ViFindList findList, char *description);

class VisaLibrary {
public:
  VisaLibrary() = default;
  ~VisaLibrary() { Free(); }
  VisaLibrary(const VisaLibrary &) = delete;
  VisaLibrary &operator=(const VisaLibrary &) = delete;

  // Loads the platform's VISA and looks up all seven functions. A library that lacks one of
  // them is freed again and counts as missing: a half-usable VISA would be called through a
  // null pointer later.
  bool Load();
  void Free();
  bool IsLoaded() const { return module_ != nullptr; }

  ViOpenDefaultRMFn viOpenDefaultRM = nullptr;
  ViOpenFn viOpen = nullptr;
  ViClearFn viClear = nullptr;
  ViQueryfFn viQueryf = nullptr;
  ViCloseFn viClose = nullptr;
  ViFindRsrcFn viFindRsrc = nullptr;
  ViFindNextFn viFindNext = nullptr;

private:
  platform::ModuleHandle module_ = nullptr;
};

} // namespace qrx
