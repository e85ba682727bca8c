/* What the interface library requires of an instrument library
 * (TestDll/QRXNSigInstrument.so for every tester type but the PXI3000,
 *  TestDll/QRXTESTSETPXI3000.so for the PXI3000).
 *
 *     void *GetQRXCalInstrInterface(int typeCode);  a new instrument interface object
 *     void  ReleaseInstrument(void *instrument);    destroys an object of the same library
 *
 * Both are plain exported C functions. The instrument object is called by 0-based position
 * in its table of virtual functions (Itanium C++ ABI: the object's first word points at the
 * table, and each entry is called with the object as its first argument). Only the four
 * positions below are used; the others may hold anything. See docs/instrument-library.md. */
#ifndef QRX_INSTRUMENT_LIBRARY_H
#define QRX_INSTRUMENT_LIBRARY_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Names under which the two entry points are looked up. */
#define QRX_GET_INSTRUMENT_INTERFACE_NAME "GetQRXCalInstrInterface"
#define QRX_RELEASE_INSTRUMENT_NAME "ReleaseInstrument"

typedef void *(*QRXGetInstrumentInterfaceFn)(int typeCode);
typedef void (*QRXReleaseInstrumentFn)(void *instrument);

/* Instrument type codes passed to GetQRXCalInstrInterface. */
enum {
  QRX_INSTR_CMU200 = 0,
  QRX_INSTR_E5515C = 1,
  QRX_INSTR_6601A = 2,
  QRX_INSTR_8820B = 3,
  QRX_INSTR_4400 = 4,
  QRX_INSTR_CMW = 5, /* also every tester not on GPIB ("TransferType" not 0) */
  QRX_INSTR_PXI3000 = 6,
  QRX_INSTR_SP6010 = 7,
  QRX_INSTR_UNUSED_8 = 8, /* never chosen */
  QRX_INSTR_TDLTE = 9,    /* "TD-LTE" or "SP8010B" */
  QRX_INSTR_8820C = 10,
  QRX_INSTR_UNKNOWN = 11  /* the model named none of the above */
};

/* Positions in the instrument object's table and the entries' types. */
#define QRX_INSTR_POS_UNLOAD_STATUS 9
#define QRX_INSTR_POS_CALL1 67
#define QRX_INSTR_POS_CALL2 72
#define QRX_INSTR_POS_CALL3 78
#define QRX_INSTR_TABLE_SIZE 79 /* a table needs at least this many entries */

/* Position 9: asked by Unload; its status is Unload's result when the library stays loaded. */
typedef int32_t (*QRXInstrumentStatusFn)(void *self);
/* Positions 67 and 72: three 32-bit values in, 32-bit result out, all passed unchanged. */
typedef int32_t (*QRXInstrumentCall3Fn)(void *self, int32_t a, int32_t b, int32_t c);
/* Position 78: two 32-bit values in, 32-bit result out. */
typedef int32_t (*QRXInstrumentCall2Fn)(void *self, int32_t a, int32_t b);

#ifdef __cplusplus
}

namespace qrx::instrument {

enum Position : int {
  kUnloadStatus = QRX_INSTR_POS_UNLOAD_STATUS, /* () -> int32_t */
  kCall1 = QRX_INSTR_POS_CALL1,                /* (int32_t, int32_t, int32_t) -> int32_t */
  kCall2 = QRX_INSTR_POS_CALL2,                /* (int32_t, int32_t, int32_t) -> int32_t */
  kCall3 = QRX_INSTR_POS_CALL3,                /* (int32_t, int32_t) -> int32_t */
};
inline constexpr int kTableSize = QRX_INSTR_TABLE_SIZE;

} // namespace qrx::instrument
#endif

#endif
