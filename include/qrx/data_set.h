/* Text-valued key/value set with typed access: the parameter and result data sets. */
#ifndef QRX_DATA_SET_H
#define QRX_DATA_SET_H

#include <qrx/generic.h>

#include <string>

class IDataSet : public IGeneric {
public:
  virtual std::string GetName() = 0;                                            /* 2 */
  virtual void SetBool(const std::string &key, bool value) = 0;                 /* 3 */
  virtual void SetDouble(const std::string &key, double value) = 0;             /* 4 */
  virtual void SetInt(const std::string &key, int value) = 0;                   /* 5 */
  virtual void SetString(const std::string &key, const std::string &value) = 0; /* 6 */
  virtual int GetBool(const std::string &key, bool *out) = 0;                   /* 7: 0 or -1 */
  virtual int GetDouble(const std::string &key, double *out) = 0;               /* 8: 0 or -1 */
  virtual int GetInt(const std::string &key, int *out) = 0;                     /* 9: 0 or -1 */
  /* 10: reads the text into inout; inout "erase" removes the key instead. 0 or -1. */
  virtual int GetString(const std::string &key, std::string &inout) = 0;
  virtual void AddChild(IDataSet *child) = 0; /* 11: takes a reference on child */
  virtual int AddRef() = 0;                   /* 12: returns the new count */

protected:
  ~IDataSet() = default;
};

#endif
