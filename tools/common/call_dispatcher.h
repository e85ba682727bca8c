// Calls an export of libQRXInterface.so by its argument classes (i int, d double, p pointer).
#pragma once

#include <string>
#include <vector>

namespace qrx::tools {

struct CallArg {
  int i = 0;
  double d = 0;
  void *p = nullptr;
};

class CallDispatcher {
public:
  static constexpr const char *kSignatures[] = {"", "d", "dd", "ddiiipiiiiiiiddddd", "di", "i", "idddd", "ii", "iiddiippiiiiiiiii", "iii", "iiii", "iiiii", "iiiiiiii", "ip", "ipp", "p", "pi", "pippiip", "pp"};
  static bool Supports(const std::string &signature);
  // False when the signature has no case (nothing is called).
  static bool Call(void *symbol, const std::string &signature, const std::vector<CallArg> &args,
                   int *result);
};

} // namespace qrx::tools
