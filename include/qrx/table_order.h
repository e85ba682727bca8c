/* Building blocks for a C++ class whose virtual functions must sit at fixed 0-based positions
 * of its table (plug-in objects, instrument objects): Gap<Base, From, To> appends placeholder
 * virtual functions for the positions From..To-1 after Base's own. The classes in
 * qrx/plugin_boundary.h and qrx/instrument_library.h are made of them; a class of your own
 * can be too:
 *
 *     struct Head : qrx::table::Gap<qrx::table::Start, 0, 9> {  // positions 0..8 unused
 *       virtual int32_t Status() { return 0; }                    // position 9
 *     };
 *
 * Only single inheritance keeps one table; a virtual destructor takes table entries of its
 * own (two with GCC and Clang), so the objects have none: they end through their release
 * position, which deletes the object as its most derived type. */
#ifndef QRX_TABLE_ORDER_H
#define QRX_TABLE_ORDER_H

#ifdef __cplusplus
namespace qrx::table {

template <int Position> struct Unassigned {};

/* The empty beginning of a table. */
class Start {
protected:
  void Placeholder(Unassigned<-1>) {}
  ~Start() = default;
};

template <typename Base, int From, int To> class Gap : public Gap<Base, From, To - 1> {
public:
  static_assert(From <= To, "a gap ends after it starts");
  using Gap<Base, From, To - 1>::Placeholder;
  /* Never called by the library. */
  virtual void Placeholder(Unassigned<To - 1>) {}

protected:
  ~Gap() = default;
};
template <typename Base, int From> class Gap<Base, From, From> : public Base {
protected:
  ~Gap() = default;
};

} // namespace qrx::table
#endif

#endif
