/* Reference dump of the Windows code-page conversions: run under Wine, it writes what
 * MultiByteToWideChar and WideCharToMultiByte (flags 0) answer for every byte, every lead and
 * trail byte pair and every UTF-16 code unit of the code pages the library converts itself, or
 * of those named. The library's tables are generated from this dump, and its conversions are
 * tested against it.
 *
 * Usage: code_page_dump.exe <output file> [code page ...]
 *
 * Layout (little endian): "QRXCPD1\n", u32 number of code pages, then per code page:
 *   u32 code page, u32 max char size, u8 lead byte ranges[12], u8 default char[2],
 *   u16 default unicode char;
 *   256 byte records for the single bytes 00..FF;
 *   for a double-byte code page, per lead byte in ascending order: 256 byte records for
 *   {lead, trail 00..FF}, then one for the lead byte alone;
 *   65536 unit records for the code units 0000..FFFF;
 *   1024 unit records for the surrogate pairs {D800+i, DC00+((i*37)&3FF)}, i = 0..1023,
 *   then 128 for the tag characters U+E0000+i written as pairs.
 * A byte record: u8 number of units, u8 valid (the call with MB_ERR_INVALID_CHARS succeeds),
 * u16 units[3]. A unit record: u8 number of bytes, u8 default used, u8 bytes[4].
 *
 * Code page 65001 (UTF-8) is written as samples instead, each with its input: u32 65001,
 * u32 count, then per sample u8 length, the bytes, u8 number of units, u16 units[8]; then
 * u32 count, per sample u8 length, u16 units[length], u8 number of bytes, u8 bytes[16]. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static const unsigned kDefaultPages[] = {874,  932,  936,  949,  950,  1250, 1251, 1252,
                                         1253, 1254, 1255, 1256, 1257, 1258, 65001};

static void put(FILE *f, const void *p, size_t n) { fwrite(p, 1, n, f); }
static void put32(FILE *f, unsigned v) {
  unsigned char b[4] = {v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, (v >> 24) & 0xFF};
  put(f, b, 4);
}

static void byteRecord(FILE *f, unsigned cp, const char *in, int len) {
  WCHAR out[8] = {0};
  unsigned char rec[8] = {0};
  int n = MultiByteToWideChar(cp, 0, in, len, out, 8);
  int valid = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in, len, NULL, 0) > 0;
  if (n < 0 || n > 3) n = 0xFF; /* never expected; the reader rejects it */
  rec[0] = (unsigned char)n;
  rec[1] = (unsigned char)valid;
  for (int i = 0; i < 3 && i < n; ++i) {
    rec[2 + 2 * i] = out[i] & 0xFF;
    rec[3 + 2 * i] = out[i] >> 8;
  }
  put(f, rec, sizeof rec);
}

static void unitRecord(FILE *f, unsigned cp, const WCHAR *in, int len) {
  char out[16] = {0};
  unsigned char rec[6] = {0};
  BOOL used = FALSE;
  int n = WideCharToMultiByte(cp, 0, in, len, out, sizeof out, NULL, &used);
  if (n < 0 || n > 4) n = 0xFF;
  rec[0] = (unsigned char)n;
  rec[1] = (unsigned char)(used != FALSE);
  for (int i = 0; i < 4 && i < n; ++i) rec[2 + i] = (unsigned char)out[i];
  put(f, rec, sizeof rec);
}

static void utf8Sample(FILE *f, const unsigned char *in, int len, unsigned *count) {
  WCHAR out[16] = {0};
  unsigned char rec[17] = {0};
  int n = MultiByteToWideChar(CP_UTF8, 0, (const char *)in, len, out, 16);
  if (n < 0 || n > 8) n = 0xFF;
  unsigned char l = (unsigned char)len;
  put(f, &l, 1);
  put(f, in, len);
  rec[0] = (unsigned char)n;
  for (int i = 0; i < 8 && i < n; ++i) {
    rec[1 + 2 * i] = out[i] & 0xFF;
    rec[2 + 2 * i] = out[i] >> 8;
  }
  put(f, rec, sizeof rec);
  ++*count;
}

static void wideSample(FILE *f, const WCHAR *in, int len) {
  char out[32] = {0};
  unsigned char l = (unsigned char)len;
  int n = WideCharToMultiByte(CP_UTF8, 0, in, len, out, sizeof out, NULL, NULL);
  if (n < 0 || n > 16) n = 0xFF;
  put(f, &l, 1);
  for (int i = 0; i < len; ++i) {
    unsigned char u[2] = {in[i] & 0xFF, in[i] >> 8};
    put(f, u, 2);
  }
  unsigned char c = (unsigned char)n;
  put(f, &c, 1);
  put(f, out, 16);
}

/* Samples of UTF-8: every byte above 7F followed by every byte, and three- and four-byte
 * sequences over the bytes where the rules change; lone and misordered surrogates back. */
static void dumpUtf8(FILE *f) {
  static const unsigned char s3[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F,
                                     0xA0, 0xBF, 0xC0, 0xC2, 0xE0, 0xF0, 0xFF};
  static const unsigned char s4[] = {0x41, 0x80, 0x8F, 0x90, 0xBF, 0xC0};
  static const unsigned char lead4[] = {0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xF7, 0xF8, 0xFC, 0xFE, 0xFF};
  unsigned count = 0;
  long at = ftell(f);
  put32(f, 65001);
  put32(f, 0);
  for (int a = 0x80; a < 0x100; ++a)
    for (int b = 0; b < 0x100; ++b) {
      unsigned char in[2] = {(unsigned char)a, (unsigned char)b};
      utf8Sample(f, in, 2, &count);
    }
  for (int a = 0xE0; a < 0xF0; ++a)
    for (unsigned i = 0; i < sizeof s3; ++i)
      for (unsigned j = 0; j < sizeof s3; ++j) {
        unsigned char in[3] = {(unsigned char)a, s3[i], s3[j]};
        utf8Sample(f, in, 3, &count);
      }
  for (unsigned a = 0; a < sizeof lead4; ++a)
    for (unsigned i = 0; i < sizeof s4; ++i)
      for (unsigned j = 0; j < sizeof s4; ++j)
        for (unsigned k = 0; k < sizeof s4; ++k) {
          unsigned char in[4] = {lead4[a], s4[i], s4[j], s4[k]};
          utf8Sample(f, in, 4, &count);
        }
  long end = ftell(f);
  fseek(f, at + 4, SEEK_SET);
  put32(f, count);
  fseek(f, end, SEEK_SET);

  static const WCHAR wide[][4] = {{0xD800}, {0xDBFF}, {0xDC00}, {0xDFFF}, {0xD800, 'a'},
                                  {0xDC00, 0xD800}, {0xD800, 0xD800, 0xDC00}, {'a', 0xDC00},
                                  {0xFFFE}, {0xFFFF}, {0xFFFD}, {0x80}, {0x7FF}, {0x800},
                                  {0xD83D, 0xDE00}, {0xDBFF, 0xDFFF}};
  static const int lengths[] = {1, 1, 1, 1, 2, 2, 3, 2, 1, 1, 1, 1, 1, 1, 2, 2};
  put32(f, sizeof lengths / sizeof lengths[0]);
  for (unsigned i = 0; i < sizeof lengths / sizeof lengths[0]; ++i) wideSample(f, wide[i], lengths[i]);
}

static int dumpPage(FILE *f, unsigned cp) {
  if (cp == CP_UTF8) {
    dumpUtf8(f);
    return 1;
  }
  CPINFO info;
  if (!GetCPInfo(cp, &info)) {
    fprintf(stderr, "code page %u is not available\n", cp);
    return 0;
  }
  put32(f, cp);
  put32(f, info.MaxCharSize);
  put(f, info.LeadByte, 12);
  put(f, info.DefaultChar, 2);
  unsigned char ud[2] = {0, 0};
  {
    CPINFOEXW ex;
    if (GetCPInfoExW(cp, 0, &ex)) {
      ud[0] = ex.UnicodeDefaultChar & 0xFF;
      ud[1] = ex.UnicodeDefaultChar >> 8;
    }
  }
  put(f, ud, 2);
  for (int b = 0; b < 256; ++b) {
    char in[1] = {(char)b};
    byteRecord(f, cp, in, 1);
  }
  if (info.MaxCharSize == 2) {
    for (int lead = 0; lead < 256; ++lead) {
      if (!IsDBCSLeadByteEx(cp, (BYTE)lead)) continue;
      for (int trail = 0; trail < 256; ++trail) {
        char in[2] = {(char)lead, (char)trail};
        byteRecord(f, cp, in, 2);
      }
      char alone[1] = {(char)lead};
      byteRecord(f, cp, alone, 1);
    }
  }
  for (unsigned u = 0; u < 0x10000; ++u) {
    WCHAR in[1] = {(WCHAR)u};
    unitRecord(f, cp, in, 1);
  }
  for (unsigned i = 0; i < 1024; ++i) {
    WCHAR in[2] = {(WCHAR)(0xD800 + i), (WCHAR)(0xDC00 + ((i * 37) & 0x3FF))};
    unitRecord(f, cp, in, 2);
  }
  for (unsigned i = 0; i < 128; ++i) {
    unsigned c = 0xE0000 + i - 0x10000;
    WCHAR in[2] = {(WCHAR)(0xD800 + (c >> 10)), (WCHAR)(0xDC00 + (c & 0x3FF))};
    unitRecord(f, cp, in, 2);
  }
  return 1;
}

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: code_page_dump <output file> [code page ...]\n");
    return 2;
  }
  unsigned pages[64];
  unsigned count = 0;
  if (argc > 2) {
    for (int i = 2; i < argc && count < 64; ++i) pages[count++] = (unsigned)strtoul(argv[i], NULL, 10);
  } else {
    for (unsigned i = 0; i < sizeof kDefaultPages / sizeof kDefaultPages[0]; ++i)
      pages[count++] = kDefaultPages[i];
  }
  FILE *f = fopen(argv[1], "wb");
  if (!f) {
    fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  put(f, "QRXCPD1\n", 8);
  put32(f, count);
  for (unsigned i = 0; i < count; ++i)
    if (!dumpPage(f, pages[i])) {
      fclose(f);
      remove(argv[1]);
      return 1;
    }
  if (fclose(f) != 0) return 1;
  return 0;
}
