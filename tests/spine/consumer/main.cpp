// An outside host: links the installed library and calls an export.
#include <qrx/qrx_interface.h>
#include <qrx/test_tools.h>

int main() { return CleanUpQRXInterface(); }
