/* Package manager: reads the configuration version of a test package. */
#ifndef QRX_PACKAGE_MANAGER_H
#define QRX_PACKAGE_MANAGER_H

#include <qrx/generic.h>

#include <string>

class IPackageManagerService : public IGeneric {
public:
  virtual int Reserved2(int) = 0;                    /* 2: 0 */
  virtual int Reserved3(int, int, int) = 0;          /* 3: 0 */
  virtual int Reserved4(int, int) = 0;               /* 4: 0 */
  virtual int Reserved5(int, int, int, int) = 0;     /* 5: 0 */
  virtual int Reserved6(int, int, int) = 0;          /* 6: 0 */
  virtual int Reserved7(int, int, int, int) = 0;     /* 7: 0 */
  virtual std::string Reserved8(int, int) = 0;       /* 8: "" */
  virtual std::string Reserved9(int, int, int) = 0;  /* 9: "" */
  virtual std::string Reserved10(int, int) = 0;      /* 10: "" */
  virtual int Reserved11(int, int) = 0;              /* 11: 0 */
  virtual int Reserved12(int) = 0;                   /* 12: 0 */
  virtual int Reserved13(int, int) = 0;              /* 13: 0 */
  virtual std::string Reserved14() = 0;              /* 14: "" */
  virtual std::string Reserved15(int, int) = 0;      /* 15: "" */
  /* 16: "ConfigVersion" of the root "phone" of BusinessCfg/<package>.config beside the host
   * executable (a name ending in ".script" reads the ".config" of the same name). */
  virtual std::string GetConfigVersion(const char *packageName) = 0;
  virtual int Reserved17(int, int, int) = 0;         /* 17: 0 */

protected:
  ~IPackageManagerService() = default;
};

#endif
