/* Account service: a fixed user and the phone record (model, mode, platform) of the station. */
#ifndef QRX_ACCOUNT_SERVICE_H
#define QRX_ACCOUNT_SERVICE_H

#include <qrx/generic.h>

class IPhone : public IGeneric {
public:
  virtual const char *GetModel() = 0;    /* 2: never null */
  virtual const char *GetMode() = 0;     /* 3: never null */
  virtual const char *GetPlatform() = 0; /* 4: never null */
  virtual IPhone *Clone() = 0;           /* 5: a new copy; the caller releases it */

protected:
  ~IPhone() = default;
};

/* Slot 0 of a user returns its key string "58203". */
class IUser : public IGeneric {
public:
  virtual const char *UserString() = 0;  /* 2: "58203" */
  virtual int UserNumber() = 0;          /* 3: 4 */
  virtual const char *UserCode() = 0;    /* 4: "719364" */
  virtual const char *UserString5() = 0; /* 5: "58203" */
  virtual const char *UserString6() = 0; /* 6: "58203" */
  virtual const char *UserString7() = 0; /* 7: "58203" */

protected:
  ~IUser() = default;
};

class IAccountService : public IGeneric {
public:
  virtual int Reserved2(int) = 0;  /* 2: returns 0 */
  virtual IUser *GetUser() = 0;    /* 3: a new user; the caller releases it */
  virtual IPhone *GetPhone() = 0;  /* 4: a new copy of the phone record; the caller releases it */
  virtual void Reserved5() = 0;    /* 5 */
  virtual int Reserved6() = 0;     /* 6: returns -1 */
  virtual int Reserved7() = 0;     /* 7: returns -1 */
  virtual int Reserved8(int) = 0;  /* 8: returns -1 */
  virtual int Reserved9() = 0;     /* 9: returns 0 */
  virtual int Reserved10() = 0;    /* 10: returns 0 */
  virtual int Reserved11() = 0;    /* 11: returns 0 */

protected:
  ~IAccountService() = default;
};

#endif
