// Builds the objects a BI plug-in hands to the interface library. The library calls them by
// position in their table of virtual functions (Itanium C++ ABI), so each simulated object
// is a record whose first word points at a table we fill position by position from the
// boundary header's names; positions outside the boundary report themselves on stderr.
#pragma once

#include <array>
#include <cstdio>
#include <utility>

namespace qrx::sim {

template <size_t N> class PositionTable {
public:
  explicit PositionTable(const char *owner) : owner_(owner) {
    Fill(std::make_index_sequence<N>{});
  }

  // Installs fn at position; fn takes the object first, then the listed arguments.
  template <typename Fn> void Set(int position, Fn *fn) {
    entries_[2 + static_cast<size_t>(position)] = reinterpret_cast<void *>(fn);
  }

  // What the object's first word points at: entry 0 of the table (the ABI's address
  // point comes after the offset-to-top and type-information words).
  const void *const *AddressPoint() const { return entries_.data() + 2; }

  static const char *&Owner() {
    static const char *owner = "plug-in";
    return owner;
  }

private:
  template <size_t I> static long Unexpected(void *) {
    std::fprintf(stderr, "%s: position %zu is not part of the plug-in boundary\n", Owner(), I);
    return 0;
  }
  template <size_t... I> void Fill(std::index_sequence<I...>) {
    Owner() = owner_;
    entries_ = {nullptr, nullptr, reinterpret_cast<void *>(&Unexpected<I>)...};
  }

  const char *owner_;
  std::array<void *, N + 2> entries_{};
};

// The record the library receives: a pointer to the table, then our own state.
template <typename State> struct PluginObject {
  const void *const *table;
  State state;
};

} // namespace qrx::sim
