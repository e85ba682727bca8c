/* Identification of the station's radio-communication tester over VISA. */
#ifndef QRX_INSTRUMENT_DETECT_H
#define QRX_INSTRUMENT_DETECT_H

#include <qrx/generic.h>

#include <string>

/* Lives in the caller's memory; layout fixed. */
struct InstrumentAddress {
  int gpibBoard;               /* in: GPIB board number */
  int primaryAddress;          /* in: GPIB primary address */
  std::string model;           /* out: second field of the *IDN? answer, or "PXI3000" */
  std::string firmwareVersion; /* out: fourth field of the *IDN? answer */
  bool flag1;                  /* cleared by the caller, not used */
  bool flag2;                  /* cleared by the caller, not used */
};

class IInstrumentDetectService : public IGeneric {
public:
  virtual int Reserved2(int) = 0; /* 2: -1 */
  /* 3: locked, with the PXI fallback and operator messages. 0 identified, -1 failure. */
  virtual int IdentifyInstrument(InstrumentAddress *address) = 0;
  virtual int Reserved4() = 0; /* 4: -1 */
  /* 5: unlocked per-slot query (slot 0..3, anything else -1), no fallback, no messages. */
  virtual int IdentifyInstrumentAt(InstrumentAddress *address, int slot) = 0;
  virtual int Reserved6(int, int) = 0; /* 6: -1 */

protected:
  ~IInstrumentDetectService() = default;
};

#endif
