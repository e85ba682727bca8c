/* What the interface library requires of an instrument library
 * (TestDll/QRXNSigInstrument.so, TestDll/QRXTESTSETPXI3000.so).
 *
 *     void *GetQRXCalInstrInterface(int typeCode);  a new instrument interface object
 *     void  ReleaseInstrument(void *instrument);    destroys an object of the same library
 *
 * The instrument object is called by 0-based position in its table of virtual functions
 * (Itanium C++ ABI, the object as the first argument). */
#ifndef QRX_INSTRUMENT_LIBRARY_H
#define QRX_INSTRUMENT_LIBRARY_H

#ifdef __cplusplus
extern "C" {
#endif

typedef void *(*QRXGetInstrumentInterfaceFn)(int typeCode);
typedef void (*QRXReleaseInstrumentFn)(void *instrument);

/* Instrument type codes passed to GetQRXCalInstrInterface. */
enum {
  QRX_INSTR_CMU200 = 0,
  QRX_INSTR_E5515C = 1,
  QRX_INSTR_6601A = 2,
  QRX_INSTR_8820B = 3,
  QRX_INSTR_4400 = 4,
  QRX_INSTR_CMW = 5,
  QRX_INSTR_PXI3000 = 6,
  QRX_INSTR_SP6010 = 7,
  QRX_INSTR_UNUSED_8 = 8,
  QRX_INSTR_TDLTE = 9,
  QRX_INSTR_8820C = 10,
  QRX_INSTR_UNKNOWN = 11
};

#ifdef __cplusplus
}

namespace qrx::instrument {

enum Position : int {
  kUnloadStatus = 9, /* () -> int: status; Unload returns it when the library cannot be freed */
  kCall1 = 67,       /* (int, int, int) -> int */
  kCall2 = 72,       /* (int, int, int) -> int */
  kCall3 = 78,       /* (int, int) -> int */
};
inline constexpr int kTableSize = 79;

} // namespace qrx::instrument
#endif

#endif
