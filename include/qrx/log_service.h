/* Log service of a station and the host's log observers.
 *
 * Strings are byte strings in the process's ANSI code page (GBK unless QRX_ACP says other). */
#ifndef QRX_LOG_SERVICE_H
#define QRX_LOG_SERVICE_H

#include <qrx/generic.h>

#include <string>

/* Implemented by the host and registered with RegisterObserver. Only OnLog is called. */
class ILogObserver {
public:
  virtual void OnLog(int level, std::string line) = 0;

protected:
  ~ILogObserver() = default;
};

/* Level with which test-item records reach the observers. */
enum { QRX_LOG_LEVEL_TEST_ITEM = 16 };

class ILogService : public IGeneric {
public:
  virtual int Reserved2(int) = 0; /* 2: returns 0 */
  virtual int Reserved3() = 0;    /* 3: returns 0 */
  /* 4..7: numeric test items; integers as "%d", reals as "%.2f", verdict PASS/FAIL. */
  virtual int LogTestItem(std::string source, std::string item, int value, double upper,
                          double lower, int passed, int tag) = 0; /* 4 */
  virtual int LogTestItem(std::string source, std::string item, double value, int upper,
                          int lower, int passed, int tag) = 0; /* 5 */
  virtual int LogTestItem(std::string source, std::string item, double value, double upper,
                          double lower, int passed, int tag) = 0; /* 6 */
  virtual int LogTestItem(std::string source, std::string item, int value, int upper,
                          int lower, int passed, int tag) = 0; /* 7 */
  /* 8: texts holding '$' or '\'' are refused with -1. */
  virtual int LogTestItem(std::string source, std::string item, std::string value,
                          std::string upper, std::string lower, std::string verdict,
                          int tag) = 0;
  virtual int LogMessage(std::string source, std::string text, int level, int tag) = 0; /* 9 */
  virtual int Write(std::string source, int level, int extra1, int extra2, std::string text,
                    int tag) = 0;                /* 10: broadcast to every observer */
  virtual int Reserved11(int) = 0;               /* 11: returns 0 */
  virtual int Reserved12(int) = 0;               /* 12: returns 0 */
  virtual int Reserved13(int) = 0;               /* 13: returns 0 */
  virtual int Reserved14(std::string, int) = 0;  /* 14: returns 0 */
  virtual int Reserved15(std::string, int) = 0;  /* 15: returns 0 */
  virtual int Reserved16(int) = 0;               /* 16: returns 2 */

protected:
  ~ILogService() = default;
};

/* The station's own log server adds observer registration (reached through the hub). */
class IMyLogServer : public ILogService {
public:
  virtual int AddObserver(ILogObserver *observer) = 0;    /* 17: returns 1 */
  virtual int RemoveObserver(ILogObserver *observer) = 0; /* 18: returns 1 */

protected:
  ~IMyLogServer() = default;
};

#endif
