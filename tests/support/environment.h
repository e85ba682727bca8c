// Environment variables for the length of a test, set and restored the same way on POSIX
// systems and Windows.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace qrx::test {

inline void SetEnvironment(const std::string &name, const std::optional<std::string> &value) {
#ifdef _WIN32
  ::_putenv_s(name.c_str(), value ? value->c_str() : "");
#else
  if (value)
    ::setenv(name.c_str(), value->c_str(), 1);
  else
    ::unsetenv(name.c_str());
#endif
}

// Sets (or, with no value, removes) a variable and puts the old value back at the end.
class ScopedEnvironment {
public:
  ScopedEnvironment(std::string name, const std::optional<std::string> &value) : name_(std::move(name)) {
    if (const char *old = std::getenv(name_.c_str())) old_ = old;
    SetEnvironment(name_, value);
  }
  ~ScopedEnvironment() { SetEnvironment(name_, old_); }
  ScopedEnvironment(const ScopedEnvironment &) = delete;
  ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
  std::string name_;
  std::optional<std::string> old_;
};

} // namespace qrx::test
