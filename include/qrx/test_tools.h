/* The station's service hub as test libraries see it.
 *
 * Every test-library function receives a pointer to the hub as its ITestTools interface:
 *
 *     extern "C" int GSM_NST_MeasPower(ITestTools *hub);
 *
 * Staged export arguments are read from GetParameterDataSet() under the names that
 * BusinessCfg/Common.xml gives; outputs go into GetResultDataSet(). */
#ifndef QRX_TEST_TOOLS_H
#define QRX_TEST_TOOLS_H

#include <qrx/account_service.h>
#include <qrx/data_set.h>
#include <qrx/generic.h>
#include <qrx/instrument_detect.h>
#include <qrx/locale_service.h>
#include <qrx/log_service.h>
#include <qrx/package_manager.h>
#include <qrx/setting_service.h>

#include <string>

class ITestTools : public IGeneric {
public:
  virtual IDataSet *GetParameterDataSet() = 0;                      /* 2 */
  virtual IDataSet *GetResultDataSet() = 0;                         /* 3 */
  virtual ILogService *GetLogService() = 0;                         /* 4 */
  virtual ILocaleService *GetLocaleService() = 0;                   /* 5 */
  virtual IAccountService *GetAccountService() = 0;                 /* 6 */
  virtual ISettingService *GetSettingService() = 0;                 /* 7 */
  virtual void *Reserved8() = 0;                                    /* 8: null */
  virtual void *Reserved9() = 0;                                    /* 9: null */
  virtual void *Reserved10() = 0;                                   /* 10: null */
  virtual IInstrumentDetectService *GetInstrumentDetectService() = 0; /* 11 */
  /* 12: operator enters a serial number of at least one character. 0 OK, -1 cancelled. */
  virtual int InputSerialNumber(std::string *out) = 0;
  virtual HWND GetParentWindow() = 0;                               /* 13 */
  virtual void *Reserved14() = 0;                                   /* 14: null */
  virtual IPackageManagerService *GetPackageManagerService() = 0;   /* 15 */
  virtual void *Reserved16() = 0;                                   /* 16: null */
  /* 17: operator enters a text that matches the Perl-style pattern. 0 OK, -1 cancelled;
   * out is left untouched on cancel. One prompt at a time per process. */
  virtual int InputSerialNumberMatching(std::string *out, const std::string *pattern) = 0;
  virtual int Reserved18(int, int, int, int) = 0;                   /* 18: 0 */
  virtual int RegisterLogObserver(ILogObserver *observer) = 0;      /* 19 */
  virtual int UnregisterLogObserver(ILogObserver *observer) = 0;    /* 20 */

protected:
  ~ITestTools() = default;
};

class IMyTestTools : public ITestTools {
public:
  virtual int Initialize() = 0; /* 21: seeds the parameter data set; returns 1 */
  /* 22: text of <section><key> in BusinessCfg/Common.xml, "" when absent. */
  virtual CString GetCommonValue(const char *section, const char *key) = 0;

protected:
  ~IMyTestTools() = default;
};

#endif
