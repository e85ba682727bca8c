// A test library as an outside author writes it: functions of one hub argument, reading and
// writing the hub's data sets through the public interfaces only.
#include <qrx/test_tools.h>

#define EXPORT extern "C" __attribute__((visibility("default")))

// Copies the staged "In" text to the result set's "Out" and answers with the thread index.
EXPORT int Echo(ITestTools *hub) {
  std::string in;
  if (hub->GetParameterDataSet()->GetString("In", in) != 0) return 7;
  hub->GetResultDataSet()->SetString("Out", in);
  int ti = -1;
  hub->GetParameterDataSet()->GetInt("ThreadIndex", &ti);
  return 100 + ti;
}

// Slots a test library may call whose answers are fixed.
EXPORT int ProbeSlots(ITestTools *hub) {
  if (hub->Reserved8() || hub->Reserved9() || hub->Reserved10() || hub->Reserved14() ||
      hub->Reserved16() || hub->Reserved0())
    return 1;
  if (hub->Reserved18(1, 2, 3, 4) != 0) return 2;
  if (hub->GetParentWindow() != nullptr) return 3;
  // AddRef/Release on a member data set must not destroy it.
  IDataSet *p = hub->GetParameterDataSet();
  p->AddRef();
  p->Release();
  p->Release();
  p->SetInt("StillAlive", 1);
  // Each of the hub's data sets attached to the other: the hub must end both safely.
  p->AddChild(hub->GetResultDataSet());
  hub->GetResultDataSet()->AddChild(p);
  return 0;
}

EXPORT int Prompt(ITestTools *hub) {
  std::string out = "untouched";
  const std::string pattern = "^[0-9]{15}$";
  int r = hub->InputSerialNumberMatching(&out, &pattern);
  hub->GetResultDataSet()->SetString("Prompted", out);
  return r;
}
