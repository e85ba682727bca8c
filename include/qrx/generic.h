/* Root of every service interface that the hub hands to test libraries.
 *
 * Test libraries call these objects through their tables of virtual functions, so the order
 * of the declarations below is part of the binary interface: never reorder, never insert.
 * Unnamed slots of the original interface are kept as Reserved<slot> placeholders. */
#ifndef QRX_GENERIC_H
#define QRX_GENERIC_H

#include <string>

/* The Windows string class of the original interface is a plain byte string here. */
using CString = std::string;
/* Window handle: on Windows the system's own type (the same declaration as <windows.h>), elsewhere
 * an opaque pointer; the hub's GetParentWindow returns null on Linux hosts. */
#ifdef _WIN32
typedef struct HWND__ *HWND;
#else
using HWND = void *;
#endif

class IGeneric {
public:
  virtual void *Reserved0() = 0; /* slot 0: returns null (the user object returns its key) */
  virtual void Release() = 0;    /* slot 1: ends the object */

protected:
  ~IGeneric() = default;
};

#endif
