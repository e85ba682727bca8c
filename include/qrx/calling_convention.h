/* Calling conventions at the library's boundary. They differ only on 32-bit x86 Windows, where
 * the exports use the C convention (cdecl) and the host's download callback the Windows
 * standard convention (stdcall); elsewhere both macros are empty. A host or test library that
 * defines a callback writes, for example:
 *     int32_t QRX_CALLBACK OnProgress(QRXDownloadEvent event);                              */
#ifndef QRX_CALLING_CONVENTION_H
#define QRX_CALLING_CONVENTION_H

#if defined(_WIN32) && defined(__i386__) || defined(_WIN32) && defined(_M_IX86)
#define QRX_CALL __cdecl
#define QRX_CALLBACK __stdcall
#else
#define QRX_CALL
#define QRX_CALLBACK
#endif

#endif
