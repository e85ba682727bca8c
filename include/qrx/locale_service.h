/* Locale service: present for test libraries, holds no locale data. */
#ifndef QRX_LOCALE_SERVICE_H
#define QRX_LOCALE_SERVICE_H

#include <qrx/generic.h>

#include <string>
#include <vector>

class ILocaleService : public IGeneric {
public:
  virtual std::vector<std::string> GetNameList() = 0; /* 2: always empty */
  virtual int Reserved3(int) = 0;                    /* 3: returns 0 */
  virtual std::string GetText(int, int) = 0;         /* 4: always empty */
  virtual int Reserved5(std::string, int) = 0;       /* 5: returns 0 */
  virtual int Reserved6(std::string) = 0;            /* 6: returns 0 */
  virtual int Reserved7() = 0;                       /* 7: returns 0 */

protected:
  ~ILocaleService() = default;
};

#endif
