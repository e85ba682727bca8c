/* Reference writer for the INI parity test: applies every case of a case directory with the
   system's own WritePrivateProfileStringA and records each call's result. Built for Windows and
   run under Wine; reads <dir>/cases.txt, applies the calls to the files <dir>/out/<id>.ini (the
   test put each case's file there) and writes <dir>/out/results.txt. Wine rewrites a whole file
   whenever it writes one (blank lines dropped, names trimmed, CRLF line ends), so for the
   comparison its result and our writer's copy in <dir>/canonical/<id>.ini are both rewritten by
   it once more: equal then means that a Windows-rules reader finds the same sections, keys and
   values in the same order. Cases marked raw are left as the calls leave them. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Decodes hex text into a zero-terminated buffer; "-" stands for a null pointer. */
static char *decode(const char *hex) {
  size_t n, i;
  char *out;
  if (strcmp(hex, "-") == 0) return NULL;
  if (strcmp(hex, ".") == 0) hex = "";
  n = strlen(hex) / 2;
  out = (char *)malloc(n + 1);
  if (!out) exit(3);
  for (i = 0; i < n; ++i) {
    unsigned v;
    if (sscanf(hex + 2 * i, "%2x", &v) != 1) exit(4);
    out[i] = (char)v;
  }
  out[n] = 0;
  return out;
}

/* A Unix path (as the test passes it) in the form Windows programs see under Wine. */
static void to_windows_path(const char *in, char *out, size_t size) {
  size_t i = 0, o = 0;
  if (in[0] == '/') {
    out[o++] = 'Z';
    out[o++] = ':';
  }
  for (; in[i] && o + 1 < size; ++i) out[o++] = in[i] == '/' ? '\\' : in[i];
  out[o] = 0;
}

/* Has the profile writer rewrite a whole file: a write into a section of its own, appended at
   the end, the same on both sides. */
static int canonicalize(const char *file) {
  if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) return 1;
  return WritePrivateProfileStringA("qrx parity canonical form", "k", "v", file);
}

int main(int argc, char **argv) {
  char dir[MAX_PATH], path[MAX_PATH * 2], in[MAX_PATH * 2], file[MAX_PATH * 2];
  static char line[1 << 20];
  char id[32] = "", mode[32] = "";
  FILE *cases, *results;
  if (argc != 2) {
    fprintf(stderr, "usage: ini_reference <case directory>\n");
    return 2;
  }
  to_windows_path(argv[1], dir, sizeof dir);
  snprintf(path, sizeof path, "%s\\cases.txt", dir);
  cases = fopen(path, "rb");
  if (!cases) {
    fprintf(stderr, "cannot open %s\n", path);
    return 1;
  }
  snprintf(path, sizeof path, "%s\\out", dir);
  CreateDirectoryA(path, NULL);
  snprintf(path, sizeof path, "%s\\out\\results.txt", dir);
  results = fopen(path, "wb");
  if (!results) return 1;
  fprintf(results, "acp %u\n", GetACP());
  file[0] = 0;
  while (fgets(line, sizeof line, cases)) {
    static char s[1 << 19], k[1 << 19], v[1 << 19];
    char presence[32];
    if (sscanf(line, "case %31s %31s %31s", id, presence, mode) == 3) {
      snprintf(file, sizeof file, "%s\\out\\%s.ini", dir, id);
      fprintf(results, "%s", id);
    } else if (sscanf(line, "op %524287s %524287s %524287s", s, k, v) == 3) {
      char *section = decode(s), *key = decode(k), *value = decode(v);
      BOOL ok = WritePrivateProfileStringA(section, key, value, file);
      fprintf(results, " %d", ok ? 1 : 0);
      free(section);
      free(key);
      free(value);
    } else if (strncmp(line, "end", 3) == 0) {
      if (strcmp(mode, "canonical") == 0) {
        snprintf(in, sizeof in, "%s\\canonical\\%s.ini", dir, id);
        if (!canonicalize(file) || !canonicalize(in)) return 6;
      }
      fprintf(results, "\n");
    }
  }
  fclose(cases);
  fclose(results);
  return 0;
}
