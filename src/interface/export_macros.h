// Marks the functions that libQRXInterface.so exports: plain C names, default visibility.
#pragma once

#ifndef QRX_EXPORT
#define QRX_EXPORT extern "C" __attribute__((visibility("default")))
#endif
