// iconv with invalid sequences replaced, so a garbled line is still shown.
#include "ansi_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace qrx::tools {
namespace {

std::string Convert(const std::string &text, const char *from, const char *to) {
  if (text.empty() || std::string(from) == to) return text;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out;
  char *in = const_cast<char *>(text.data());
  size_t inLeft = text.size();
  char buffer[1024];
  while (inLeft > 0) {
    char *o = buffer;
    size_t outLeft = sizeof buffer;
    size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    out.append(buffer, static_cast<size_t>(o - buffer));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out += '?'; // skip one undecodable byte
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

} // namespace

std::string AnsiText::CodePageName() {
  const char *acp = std::getenv("QRX_ACP");
  int cp = acp && *acp ? std::atoi(acp) : 936;
  switch (cp) {
  case 936: return "GBK";
  case 65001: return "UTF-8";
  case 1200: return "UTF-16LE";
  case 1201: return "UTF-16BE";
  case 932: return "SHIFT_JIS";
  case 950: return "BIG5";
  case 1252: return "CP1252";
  default: return "CP" + std::to_string(cp);
  }
}

std::string AnsiText::ToUtf8(const std::string &ansi) {
  return Convert(ansi, CodePageName().c_str(), "UTF-8");
}

std::string AnsiText::FromUtf8(const std::string &utf8) {
  return Convert(utf8, "UTF-8", CodePageName().c_str());
}

} // namespace qrx::tools
