/* Calling conventions at the library's boundaries. They differ only on 32-bit x86 Windows;
 * elsewhere every macro here is empty and the platform's one convention applies.
 *
 *   QRX_CALL      the exports and the C handlers a host installs (cdecl).
 *   QRX_CALLBACK  the host's download callback (stdcall, as the host's callbacks are):
 *                     int32_t QRX_CALLBACK OnProgress(QRXDownloadEvent event);
 *   QRX_MEMBER    an entry of a table of virtual functions that the library calls by
 *                 position (plug-in objects, instrument objects): the compiler's convention
 *                 for member functions (thiscall: the object in ECX, the other arguments on
 *                 the stack, removed by the callee). A C++ class whose virtual functions sit
 *                 in table order gets it without writing anything; the macro is for code
 *                 that fills such a table with free functions, whose first parameter is then
 *                 the object.
 *   QRX_VISA      the functions of the VISA library (VISA's _VI_FUNC: stdcall), except the
 *                 variadic viPrintf, viScanf and viQueryf, which use the C convention.     */
#ifndef QRX_CALLING_CONVENTION_H
#define QRX_CALLING_CONVENTION_H

#if defined(_WIN32) && defined(__i386__) || defined(_WIN32) && defined(_M_IX86)
#define QRX_CALL __cdecl
#define QRX_CALLBACK __stdcall
#define QRX_MEMBER __thiscall
#define QRX_VISA __stdcall
#else
#define QRX_CALL
#define QRX_CALLBACK
#define QRX_MEMBER
#define QRX_VISA
#endif

#endif
