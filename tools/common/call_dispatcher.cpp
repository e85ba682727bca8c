// Calls an export looked up with dlsym through the function type its argument classes give.
// One case per signature class that occurs among the exports; the tool's tests check that
// every export's signature has its case here.
#include "call_dispatcher.h"

namespace qrx::tools {

bool CallDispatcher::Supports(const std::string &signature) {
  for (const char *known : kSignatures)
    if (signature == known) return true;
  return false;
}

bool CallDispatcher::Call(void *symbol, const std::string &signature,
                          const std::vector<CallArg> &a, int *result) {
  if (!symbol || a.size() != signature.size()) return false;
  if (signature == "") {
    using Fn = int (*)(void);
    *result = reinterpret_cast<Fn>(symbol)();
    return true;
  }
  if (signature == "d") {
    using Fn = int (*)(double);
    *result = reinterpret_cast<Fn>(symbol)(a[0].d);
    return true;
  }
  if (signature == "dd") {
    using Fn = int (*)(double, double);
    *result = reinterpret_cast<Fn>(symbol)(a[0].d, a[1].d);
    return true;
  }
  if (signature == "ddiiipiiiiiiiddddd") {
    using Fn = int (*)(double, double, int, int, int, void *, int, int, int, int, int, int, int, double, double, double, double, double);
    *result = reinterpret_cast<Fn>(symbol)(a[0].d, a[1].d, a[2].i, a[3].i, a[4].i, a[5].p, a[6].i, a[7].i, a[8].i, a[9].i, a[10].i, a[11].i, a[12].i, a[13].d, a[14].d, a[15].d, a[16].d, a[17].d);
    return true;
  }
  if (signature == "di") {
    using Fn = int (*)(double, int);
    *result = reinterpret_cast<Fn>(symbol)(a[0].d, a[1].i);
    return true;
  }
  if (signature == "i") {
    using Fn = int (*)(int);
    *result = reinterpret_cast<Fn>(symbol)(a[0].i);
    return true;
  }
  if (signature == "idddd") {
    using Fn = int (*)(int, double, double, double, double);
    *result = reinterpret_cast<Fn>(symbol)(a[0].i, a[1].d, a[2].d, a[3].d, a[4].d);
    return true;
  }
  if (signature == "ii") {
    using Fn = int (*)(int, int);
    *result = reinterpret_cast<Fn>(symbol)(a[0].i, a[1].i);
    return true;
  }
  if (signature == "iiddiippiiiiiiiii") {
    using Fn = int (*)(int, int, double, double, int, int, void *, void *, int, int, int, int, int, int, int, int, int);
    *result = reinterpret_cast<Fn>(symbol)(a[0].i, a[1].i, a[2].d, a[3].d, a[4].i, a[5].i, a[6].p, a[7].p, a[8].i, a[9].i, a[10].i, a[11].i, a[12].i, a[13].i, a[14].i, a[15].i, a[16].i);
    return true;
  }
  if (signature == "iii") {
    using Fn = int (*)(int, int, int);
    *result = reinterpret_cast<Fn>(symbol)(a[0].i, a[1].i, a[2].i);
    return true;
  }
  if (signature == "iiii") {
    using Fn = int (*)(int, int, int, int);
    *result = reinterpret_cast<Fn>(symbol)(a[0].i, a[1].i, a[2].i, a[3].i);
    return true;
  }
  if (signature == "iiiii") {
    using Fn = int (*)(int, int, int, int, int);
    *result = reinterpret_cast<Fn>(symbol)(a[0].i, a[1].i, a[2].i, a[3].i, a[4].i);
    return true;
  }
  if (signature == "iiiiiiii") {
    using Fn = int (*)(int, int, int, int, int, int, int, int);
    *result = reinterpret_cast<Fn>(symbol)(a[0].i, a[1].i, a[2].i, a[3].i, a[4].i, a[5].i, a[6].i, a[7].i);
    return true;
  }
  if (signature == "ip") {
    using Fn = int (*)(int, void *);
    *result = reinterpret_cast<Fn>(symbol)(a[0].i, a[1].p);
    return true;
  }
  if (signature == "ipp") {
    using Fn = int (*)(int, void *, void *);
    *result = reinterpret_cast<Fn>(symbol)(a[0].i, a[1].p, a[2].p);
    return true;
  }
  if (signature == "p") {
    using Fn = int (*)(void *);
    *result = reinterpret_cast<Fn>(symbol)(a[0].p);
    return true;
  }
  if (signature == "pi") {
    using Fn = int (*)(void *, int);
    *result = reinterpret_cast<Fn>(symbol)(a[0].p, a[1].i);
    return true;
  }
  if (signature == "pippiip") {
    using Fn = int (*)(void *, int, void *, void *, int, int, void *);
    *result = reinterpret_cast<Fn>(symbol)(a[0].p, a[1].i, a[2].p, a[3].p, a[4].i, a[5].i, a[6].p);
    return true;
  }
  if (signature == "pp") {
    using Fn = int (*)(void *, void *);
    *result = reinterpret_cast<Fn>(symbol)(a[0].p, a[1].p);
    return true;
  }
  return false;
}

} // namespace qrx::tools
