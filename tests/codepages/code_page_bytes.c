/* Reference for the single-byte code pages that the Windows build converts through the system:
 * run under Wine, it writes how MultiByteToWideChar (flags 0) reads every byte of each code page
 * named on the command line, one line a byte: "<code page> <byte> <valid> <unit>", where valid
 * is 1 when the call with MB_ERR_INVALID_CHARS succeeds and unit is the UTF-16 unit in hex
 * (FFFF when the byte does not read as exactly one unit).
 *
 * Usage: code_page_bytes.exe <output file> <code page>... */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
  if (argc < 3) return 2;
  FILE *f = fopen(argv[1], "w");
  if (!f) return 1;
  for (int i = 2; i < argc; ++i) {
    unsigned cp = (unsigned)strtoul(argv[i], NULL, 10);
    for (int b = 0; b < 256; ++b) {
      char in = (char)b;
      WCHAR out[4] = {0};
      int n = MultiByteToWideChar(cp, 0, &in, 1, out, 4);
      int valid = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, &in, 1, NULL, 0) > 0;
      fprintf(f, "%u %d %d %04X\n", cp, b, valid, n == 1 ? (unsigned)out[0] : 0xFFFFu);
    }
  }
  return fclose(f) == 0 ? 0 : 1;
}
