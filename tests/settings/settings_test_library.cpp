// A test library as an outside author writes it: reads and writes settings, the phone record
// and package versions through the hub it is given, using the public headers only. Inputs
// come from the parameter data set, answers go to the result data set.
#include <qrx/test_tools.h>

#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::string Param(ITestTools *hub, const char *name) {
  std::string value;
  hub->GetParameterDataSet()->GetString(name, value);
  return value;
}
void Answer(ITestTools *hub, const char *name, const std::string &value) {
  hub->GetResultDataSet()->SetString(name, value);
}
ISettingFile *OpenNamed(ITestTools *hub) {
  ISettingService *settings = hub->GetSettingService();
  return settings ? settings->OpenSettingFile(Param(hub, "File"), Param(hub, "Folder")) : nullptr;
}
} // namespace

// Value, typed reads and the path of File/Folder, Section, Key.
EXPORT int ReadSetting(ITestTools *hub) {
  ISettingFile *file = OpenNamed(hub);
  if (!file) return 1;
  std::string section = Param(hub, "Section"), key = Param(hub, "Key");
  Answer(hub, "Value", file->GetValue(section, key));
  int n = -99;
  file->GetInt(section, key, &n);
  hub->GetResultDataSet()->SetInt("Int", n);
  bool b = true;
  file->GetBool(section, key, &b);
  hub->GetResultDataSet()->SetBool("Bool", b);
  std::string s = "untouched";
  file->GetString(section, key, &s);
  Answer(hub, "String", s);
  Answer(hub, "Path", file->GetPath());
  file->Release();
  return 0;
}

// Writes Value under Section/Key, and Attribute=AttrValue on the key when Attribute is given;
// reads both back from the same object before releasing it (which saves).
EXPORT int WriteSetting(ITestTools *hub) {
  ISettingFile *file = OpenNamed(hub);
  if (!file) return 1;
  std::string section = Param(hub, "Section"), key = Param(hub, "Key");
  hub->GetResultDataSet()->SetInt("SetResult", file->SetValue(section, key, Param(hub, "Value")));
  std::string attribute = Param(hub, "Attribute");
  if (!attribute.empty()) {
    hub->GetResultDataSet()->SetInt(
        "AttrResult", file->SetAttribute(section, key, attribute, Param(hub, "AttrValue")));
    Answer(hub, "AttrBack", file->GetAttribute(section, key, attribute));
  }
  Answer(hub, "Back", file->GetValue(section, key));
  file->Release();
  return 0;
}

EXPORT int ReadPhone(ITestTools *hub) {
  IAccountService *accounts = hub->GetAccountService();
  if (!accounts) return 1;
  IPhone *phone = accounts->GetPhone();
  if (!phone) return 2;
  Answer(hub, "Model", phone->GetModel());
  Answer(hub, "Mode", phone->GetMode());
  Answer(hub, "Platform", phone->GetPlatform());
  phone->Release();
  IUser *user = accounts->GetUser();
  if (!user) return 3;
  hub->GetResultDataSet()->SetInt("UserNumber", user->UserNumber());
  Answer(hub, "UserCode", user->UserCode());
  user->Release();
  return 0;
}

EXPORT int ReadPackage(ITestTools *hub) {
  IPackageManagerService *packages = hub->GetPackageManagerService();
  if (!packages) return 1;
  Answer(hub, "Version", packages->GetConfigVersion(Param(hub, "Package").c_str()));
  return 0;
}
