/* Setting files: XML files of sections and keys in a folder beside the library. */
#ifndef QRX_SETTING_SERVICE_H
#define QRX_SETTING_SERVICE_H

#include <qrx/generic.h>

class ISettingFile : public IGeneric {
public:
  virtual CString GetPath() = 0; /* 2 */
  /* 3..9: names as constant references */
  virtual void GetBool(const CString &section, const CString &key, bool *out) = 0;   /* 3 */
  virtual void GetInt(const CString &section, const CString &key, int *out) = 0;     /* 4 */
  virtual void GetString(const CString &section, const CString &key, CString *out) = 0; /* 5 */
  virtual CString GetValue(const CString &section, const CString &key) = 0;          /* 6 */
  virtual int SetBool(const CString &section, const CString &key, bool value) = 0;   /* 7: 0/-1 */
  virtual int SetInt(const CString &section, const CString &key, int value) = 0;     /* 8: 0/-1 */
  virtual int SetValue(const CString &section, const CString &key, const CString &value) = 0; /* 9 */
  /* 10..16: names by value */
  virtual int GetBoolAttribute(CString section, CString key, CString attribute, bool *out) = 0; /* 10 */
  virtual int GetIntAttribute(CString section, CString key, CString attribute, int *out) = 0;   /* 11 */
  virtual int GetAttributeTo(CString section, CString key, CString attribute, CString *out) = 0; /* 12 */
  virtual CString GetAttribute(CString section, CString key, CString attribute) = 0;          /* 13 */
  virtual int SetBoolAttribute(CString section, CString key, CString attribute, bool value) = 0; /* 14 */
  virtual int SetIntAttribute(CString section, CString key, CString attribute, int value) = 0;   /* 15 */
  virtual int SetAttribute(CString section, CString key, CString attribute, CString value) = 0;  /* 16 */

protected:
  ~ISettingFile() = default;
};

class ISettingService : public IGeneric {
public:
  /* 2: opens fileName in folder (empty folder: "BusinessCfg") beside the library; the caller
   * releases the file, which writes it back when it was changed. */
  virtual ISettingFile *OpenSettingFile(const CString &fileName, const CString &folder) = 0;
  virtual int Reserved3() = 0; /* 3: returns -1 */
  virtual int Reserved4() = 0; /* 4: returns -1 */

protected:
  ~ISettingService() = default;
};

#endif
