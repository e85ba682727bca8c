// Setting file: section/key navigation over the XML document, typed values, attributes, and
// the create-on-open and save-on-release rules.
#include "hub/qrx_setting_file.h"

#include "platform/file_system.h"
#include "platform/operator_ui.h"

#include <climits>
#include <cstdio>

namespace qrx {
namespace {

// The declaration of a newly created file; its root element is "phone".
const char kNewFileText[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
const char kNewFileRoot[] = "phone";

// "加载配置文件" ... "失败": loading the configuration file ... failed (GBK).
const char kLoadFailedHead[] = "\xBC\xD3\xD4\xD8\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE";
// "保存配置文件" ... "失败": saving the configuration file ... failed (GBK).
const char kSaveFailedHead[] = "\xB1\xA3\xB4\xE6\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE";
const char kFailedTail[] = "\xCA\xA7\xB0\xDC"; // "失败"

// Section, key and attribute names become element and attribute names in the file. A name
// that cannot be one (empty, or holding markup or blanks) would corrupt the file when written,
// so it is refused for writes and never matches on reads.
bool IsUsableName(const std::string &name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    if (c <= ' ' || c == '<' || c == '>' || c == '&' || c == '/' || c == '=' || c == '"' ||
        c == '\'' || c == '!' || c == '?' || c == 0x7F)
      return false;
  }
  return true;
}

bool UsableNames(const std::string &a, const std::string &b) {
  return IsUsableName(a) && IsUsableName(b);
}

const char *BoolText(bool value) { return value ? "true" : "false"; }

std::string FormatInt(int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d", value);
  return buf;
}

} // namespace

bool CQRXSettingFile::ParseBool(const std::string &text) {
  if (text.size() != 4) return false;
  static const char kTrue[] = "TRUE";
  for (size_t i = 0; i < 4; ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kTrue[i]) return false;
  }
  return true;
}

// atoi's reading, but an out-of-range number saturates instead of being undefined.
int CQRXSettingFile::ParseInt(const std::string &text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

CQRXSettingFile::CQRXSettingFile(const CString &path) : path_(path) {
  // Only a file that does not exist is created: one that exists but cannot be read (no
  // permission, a folder of that name) must not be replaced by an empty document.
  if (!platform::FileExists(path_)) {
    CXmlDocument fresh;
    fresh.SetDocument(kNewFileText);
    fresh.AppendElement(kNewFileRoot);
    // The new text is plain ASCII, so its UTF-8 bytes are the text itself. Created without
    // replacing: a station starting at the same moment may have created and changed it already.
    // A missing folder makes this fail; the load below reports it.
    platform::CreateFileExclusively(path_, fresh.GetDocument(), nullptr);
  }
  if (!document_.LoadFile(path_)) {
    const std::string &report = document_.GetReport();
    unreadable_ = report.find("<file_error") != std::string::npos;
    platform::ShowMessageBox(nullptr, kLoadFailedHead + path_ + kFailedTail);
  }
  lossyLoad_ = document_.GetReport().find("<conversion_loss") != std::string::npos;
  modified_ = 0;
}

CQRXSettingFile::~CQRXSettingFile() = default;

void CQRXSettingFile::Release() {
  SaveIfModified();
  delete this;
}

void CQRXSettingFile::SaveIfModified() {
  if (!modified_) return;
  // A value the file's own encoding cannot hold would be saved as '?': the save is refused
  // and the old file kept, as for a file whose characters the code page cannot hold.
  bool saved = !unreadable_ && !lossyLoad_ && document_.SaveFile(path_, /*refuseLoss=*/true);
  if (!saved) platform::ShowMessageBox(nullptr, kSaveFailedHead + path_ + kFailedTail);
}

bool CQRXSettingFile::SelectKey(const CString &section, const CString &key) {
  if (!UsableNames(section, key)) return false;
  document_.Rewind();
  return document_.FindNextChild(section.c_str()) && document_.Enter() &&
         document_.FindNextChild(key.c_str());
}

void CQRXSettingFile::GetBool(const CString &section, const CString &key, bool *out) {
  if (out) *out = ParseBool(GetValue(section, key));
}

void CQRXSettingFile::GetInt(const CString &section, const CString &key, int *out) {
  if (out) *out = ParseInt(GetValue(section, key));
}

void CQRXSettingFile::GetString(const CString &section, const CString &key, CString *out) {
  if (out) *out = GetValue(section, key);
}

CString CQRXSettingFile::GetValue(const CString &section, const CString &key) {
  if (!SelectKey(section, key)) return CString();
  return document_.GetChildText();
}

int CQRXSettingFile::SetBool(const CString &section, const CString &key, bool value) {
  return SetValue(section, key, BoolText(value));
}

int CQRXSettingFile::SetInt(const CString &section, const CString &key, int value) {
  return SetValue(section, key, FormatInt(value));
}

int CQRXSettingFile::SetValue(const CString &section, const CString &key, const CString &value) {
  if (!UsableNames(section, key)) return -1;
  int result = -1;
  document_.Rewind();
  if (document_.FindNextChild(section.c_str())) {
    document_.Enter();
    if (document_.FindNextChild(key.c_str())) {
      // An existing key is rewritten in place; one that holds elements is refused.
      if (document_.SetChildText(value.c_str())) result = 0;
    } else if (document_.AppendChild(key.c_str()) && document_.SetChildText(value.c_str())) {
      result = 0;
    }
  } else {
    // A new section goes after the root's last child; without any element it becomes the root.
    document_.Rewind();
    if (document_.FindNext()) document_.Enter();
    if (document_.AppendElement(section.c_str()) && document_.AppendChild(key.c_str()) &&
        document_.SetChildText(value.c_str()))
      result = 0;
  }
  if (result == 0) modified_ = 1;
  return result;
}

int CQRXSettingFile::GetBoolAttribute(CString section, CString key, CString attribute, bool *out) {
  if (out) *out = ParseBool(GetAttribute(section, key, attribute));
  return 0;
}

int CQRXSettingFile::GetIntAttribute(CString section, CString key, CString attribute, int *out) {
  if (out) *out = ParseInt(GetAttribute(section, key, attribute));
  return 0;
}

int CQRXSettingFile::GetAttributeTo(CString section, CString key, CString attribute, CString *out) {
  if (out) *out = GetAttribute(section, key, attribute);
  return 0;
}

CString CQRXSettingFile::GetAttribute(CString section, CString key, CString attribute) {
  if (!IsUsableName(attribute) || !SelectKey(section, key)) return CString();
  return document_.GetChildAttr(attribute.c_str());
}

int CQRXSettingFile::SetBoolAttribute(CString section, CString key, CString attribute,
                                      bool value) {
  return SetAttribute(section, key, attribute, BoolText(value));
}

int CQRXSettingFile::SetIntAttribute(CString section, CString key, CString attribute, int value) {
  return SetAttribute(section, key, attribute, FormatInt(value));
}

int CQRXSettingFile::SetAttribute(CString section, CString key, CString attribute,
                                  CString value) {
  if (!UsableNames(section, key) || !IsUsableName(attribute)) return -1;
  // Every step that succeeds changes the text, so the file is marked as changed as soon as one
  // does; a call that changed nothing leaves the file alone.
  bool changed = false;
  bool written = false;
  document_.Rewind();
  if (document_.FindNextChild(section.c_str())) {
    document_.Enter();
    if (!document_.FindNextChild(key.c_str())) {
      if (!document_.AppendChild(key.c_str())) return -1;
      changed = true;
    }
    written = document_.SetChildAttr(attribute.c_str(), value.c_str());
  } else {
    // FindNextChild has selected the root (when there is one): the section goes under it.
    document_.Rewind();
    if (document_.FindNext() && document_.AppendChild(section.c_str())) {
      changed = true;
      if (document_.Enter() && document_.AppendChild(key.c_str()))
        written = document_.SetChildAttr(attribute.c_str(), value.c_str());
    }
  }
  if (changed || written) modified_ = 1;
  return written ? 0 : -1;
}

void CQRXSettingFile::CopySectionToDataSet(IDataSet *target, const CString &section) {
  if (!target || !IsUsableName(section)) return;
  document_.Rewind();
  // The section becomes the current element, then its children the level searched.
  if (!document_.FindNextChild(section.c_str()) || !document_.Enter() || !document_.Enter())
    return;
  while (document_.FindNext(nullptr))
    target->SetString(document_.GetElementName(), document_.GetText());
}

} // namespace qrx
