// One setting file held in memory: values and attributes addressed by section and key, written
// back to disk on release when something changed.
#pragma once

#include "xml/xml_document.h"

#include <qrx/data_set.h>
#include <qrx/setting_service.h>

#include <string>

namespace qrx {

class CQRXSettingFile final : public ISettingFile {
public:
  // Opens (creating when missing) and loads the file at path; a load failure is shown to the
  // operator and leaves whatever could be parsed.
  explicit CQRXSettingFile(const CString &path);
  virtual ~CQRXSettingFile();
  CQRXSettingFile(const CQRXSettingFile &) = delete;
  CQRXSettingFile &operator=(const CQRXSettingFile &) = delete;

  void *Reserved0() override { return nullptr; }
  void Release() override;
  CString GetPath() override { return path_; }
  void GetBool(const CString &section, const CString &key, bool *out) override;
  void GetInt(const CString &section, const CString &key, int *out) override;
  void GetString(const CString &section, const CString &key, CString *out) override;
  CString GetValue(const CString &section, const CString &key) override;
  int SetBool(const CString &section, const CString &key, bool value) override;
  int SetInt(const CString &section, const CString &key, int value) override;
  int SetValue(const CString &section, const CString &key, const CString &value) override;
  int GetBoolAttribute(CString section, CString key, CString attribute, bool *out) override;
  int GetIntAttribute(CString section, CString key, CString attribute, int *out) override;
  int GetAttributeTo(CString section, CString key, CString attribute, CString *out) override;
  CString GetAttribute(CString section, CString key, CString attribute) override;
  int SetBoolAttribute(CString section, CString key, CString attribute, bool value) override;
  int SetIntAttribute(CString section, CString key, CString attribute, int value) override;
  int SetAttribute(CString section, CString key, CString attribute, CString value) override;

  // Copies every direct child element of section into target as name/text pairs.
  void CopySectionToDataSet(IDataSet *target, const CString &section);

  bool Modified() const { return modified_ != 0; }

  // Text conversions shared by the typed accessors.
  static bool ParseBool(const std::string &text);
  static int ParseInt(const std::string &text);

private:
  // Saves when modified; shows the save message when that fails.
  void SaveIfModified();
  // Selects section as main position and key as child position; false when either is missing.
  bool SelectKey(const CString &section, const CString &key);

  CXmlDocument document_;
  CString path_;
  int modified_ = 0;
  // The file exists but could not be read: it is never overwritten with what little we hold.
  bool unreadable_ = false;
  // Loading replaced characters that the code page cannot hold: writing the text back would
  // corrupt them in the file, so changes are not saved.
  bool lossyLoad_ = false;
};

} // namespace qrx
