/* What the interface library requires of an instrument library
 * (TestDll/QRXNSigInstrument.so for every tester type but the PXI3000,
 *  TestDll/QRXTESTSETPXI3000.so for the PXI3000).
 *
 *     void *GetQRXCalInstrInterface(int typeCode);  a new instrument interface object
 *     void  ReleaseInstrument(void *instrument);    destroys an object of the same library
 *
 * Both are plain exported C functions. The instrument object is called by 0-based position
 * in its table of virtual functions: the object's first word points at the table, and each
 * entry is called as a member function of the object, in the compiler's convention for
 * member functions (QRX_MEMBER: thiscall on 32-bit x86 Windows, the object first otherwise).
 * A C++ class whose virtual functions are declared in table order is right on every
 * architecture; qrx::instrument::InstrumentObject below is one to derive from. Only the four
 * positions below are used; the others may hold anything. See docs/instrument-library.md. */
#ifndef QRX_INSTRUMENT_LIBRARY_H
#define QRX_INSTRUMENT_LIBRARY_H

#include <stdint.h>

#include <qrx/calling_convention.h>
#include <qrx/table_order.h>

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

/* Entries of the table as free functions taking the object first (a table filled by hand).
 * Position 9: asked by Unload; its status is Unload's result when the library stays loaded. */
typedef int32_t(QRX_MEMBER *QRXInstrumentStatusFn)(void *self);
/* Positions 67 and 72: three 32-bit values in, 32-bit result out, all passed unchanged. */
typedef int32_t(QRX_MEMBER *QRXInstrumentCall3Fn)(void *self, int32_t a, int32_t b, int32_t c);
/* Position 78: two 32-bit values in, 32-bit result out. */
typedef int32_t(QRX_MEMBER *QRXInstrumentCall2Fn)(void *self, int32_t a, int32_t b);

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

namespace detail {
using qrx::table::Gap;
class Status : public Gap<qrx::table::Start, 0, 9> {
public:
  virtual int32_t UnloadStatus() { return 0; } /* 9 */
protected:
  ~Status() = default;
};
class First : public Gap<Status, 10, 67> {
public:
  virtual int32_t Call1(int32_t, int32_t, int32_t) { return 0; } /* 67 */
protected:
  ~First() = default;
};
class Second : public Gap<First, 68, 72> {
public:
  virtual int32_t Call2(int32_t, int32_t, int32_t) { return 0; } /* 72 */
protected:
  ~Second() = default;
};
} // namespace detail

/* An instrument object with the four used positions in table order; derive, override, and
 * delete the object in ReleaseInstrument as its own type:
 *
 *     class Tester final : public qrx::instrument::InstrumentObject {
 *       int32_t Call1(int32_t band, int32_t channel, int32_t level) override;
 *     };
 *     extern "C" void *GetQRXCalInstrInterface(int type) {
 *       return static_cast<qrx::instrument::InstrumentObject *>(new Tester);
 *     }
 *     extern "C" void ReleaseInstrument(void *p) {
 *       delete static_cast<Tester *>(static_cast<qrx::instrument::InstrumentObject *>(p));
 *     } */
class InstrumentObject : public detail::Gap<detail::Second, 73, 78> {
public:
  virtual int32_t Call3(int32_t, int32_t) { return 0; } /* 78 */
protected:
  ~InstrumentObject() = default;
};

} // namespace qrx::instrument
#endif

#endif
