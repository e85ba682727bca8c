// Calls into objects that outside components hand out (BI plug-in objects, instrument
// objects): by 0-based position in the object's table of virtual functions, with the object
// as the implicit first argument, in the platform's convention for member functions
// (QRX_MEMBER: thiscall on 32-bit x86 Windows). Every such call goes through here.
#pragma once

#include <qrx/calling_convention.h>

#include <string>
#include <type_traits>
#include <utility>

namespace qrx {

namespace detail {
// How an argument reaches the plug-in: a non-const lvalue std::string goes by reference (the
// plug-in fills it), any other std::string by value; everything else as its decayed type.
template <typename A>
using PluginParam =
    std::conditional_t<std::is_same_v<A, std::string &>, std::string &, std::decay_t<A>>;
} // namespace detail

class PluginObject {
public:
  PluginObject() = default;
  explicit PluginObject(void *object) : object_(object) {}

  explicit operator bool() const { return object_ != nullptr; }
  void *get() const { return object_; }

  // sn.call<int>(kPhoneWriteSnFirstCopy, text, extra, ti). Pass narrow integers with their
  // exact type (static_cast<int16_t>) and window handles as void *: the plug-in's entry is
  // called with exactly the types given here.
  template <typename R, typename... Args> R call(int position, Args &&...args) const {
    using Entry = R(QRX_MEMBER *)(void *, detail::PluginParam<Args &&>...);
    auto *const *table = *static_cast<void *const *const *>(object_);
    auto entry = reinterpret_cast<Entry>(table[position]);
    return entry(object_, std::forward<Args>(args)...);
  }

private:
  void *object_ = nullptr;
};

} // namespace qrx
