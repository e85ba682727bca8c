// The code-page front end that every system shares: the code pages and their usual names, the
// ANSI code page, and the conversions built on the system's converters
// (platform/code_page_system.h).
#include "platform/code_page.h"

#include "platform/code_page_system.h"

#include <cstdlib>

namespace qrx::platform {
namespace {

// Every code page that a file may name (the XML encoding table's code pages) with the name of
// its encoding. On POSIX the name is the iconv name, so an encoding that glibc has converts;
// the others carry their Windows names, which iconv does not open. Windows converts each code
// page its system has, by number.
constexpr CodePageEntry kCodePages[] = {
    {37, "IBM037"},         {437, "CP437"},         {500, "IBM500"},        {708, "ASMO-708"},
    {720, "DOS-720"},       {737, "CP737"},         {775, "CP775"},         {850, "CP850"},
    {852, "CP852"},         {855, "CP855"},         {857, "CP857"},         {858, "CP858"},
    {860, "CP860"},         {861, "CP861"},         {862, "CP862"},         {863, "CP863"},
    {864, "CP864"},         {865, "CP865"},         {866, "CP866"},         {869, "CP869"},
    {870, "IBM870"},        {874, "CP874"},         {875, "IBM875"},        {932, "CP932"},
    {936, "GBK"},           {949, "CP949"},         {950, "CP950"},         {1026, "IBM1026"},
    {1047, "IBM1047"},      {1140, "IBM1140"},      {1141, "IBM1141"},      {1142, "IBM1142"},
    {1143, "IBM1143"},      {1144, "IBM1144"},      {1145, "IBM1145"},      {1146, "IBM1146"},
    {1147, "IBM1147"},      {1148, "IBM1148"},      {1149, "IBM1149"},      {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},     {1250, "CP1250"},       {1251, "CP1251"},       {1252, "CP1252"},
    {1253, "CP1253"},       {1254, "CP1254"},       {1255, "CP1255"},       {1256, "CP1256"},
    {1257, "CP1257"},       {1258, "CP1258"},       {1361, "JOHAB"},        {10000, "MACINTOSH"},
    {10001, "x-mac-japanese"}, {10002, "x-mac-chinesetrad"}, {10003, "x-mac-korean"},
    {10004, "x-mac-arabic"},   {10005, "x-mac-hebrew"},      {10006, "x-mac-greek"},
    {10007, "MAC-CYRILLIC"},   {10008, "x-mac-chinesesimp"}, {10010, "x-mac-romanian"},
    {10017, "MACUKRAINIAN"},   {10021, "x-mac-thai"},        {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},         {10081, "x-mac-turkish"},     {10082, "x-mac-croatian"},
    {12000, "UTF-32LE"},    {12001, "UTF-32BE"},    {20000, "x-Chinese-CNS"}, {20001, "x-cp20001"},
    {20002, "x-Chinese-Eten"}, {20003, "x-cp20003"}, {20004, "x-cp20004"},  {20005, "x-cp20005"},
    {20105, "x-IA5"},       {20106, "ISO646-DE"},   {20107, "ISO646-SE"},   {20108, "ISO646-NO"},
    {20127, "ASCII"},       {20261, "T.61-8BIT"},   {20269, "ISO_6937"},    {20273, "IBM273"},
    {20277, "IBM277"},      {20278, "IBM278"},      {20280, "IBM280"},      {20284, "IBM284"},
    {20285, "IBM285"},      {20290, "IBM290"},      {20297, "IBM297"},      {20420, "IBM420"},
    {20423, "IBM423"},      {20424, "IBM424"},      {20833, "x-EBCDIC-KoreanExtended"},
    {20838, "IBM-Thai"},    {20866, "KOI8-R"},      {20871, "IBM871"},      {20880, "IBM880"},
    {20905, "IBM905"},      {20924, "IBM00924"},    {20932, "EUC-JP"},      {20936, "GB2312"},
    {20949, "EUC-KR"},      {21025, "IBM1025"},     {21866, "KOI8-U"},      {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"}, {29001, "x-Europa"},    {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"}, {50221, "ISO-2022-JP"}, {50222, "ISO-2022-JP"}, {50225, "ISO-2022-KR"},
    {50227, "ISO-2022-CN"}, {51932, "EUC-JP"},      {51936, "GB2312"},      {51949, "EUC-KR"},
    {52936, "HZ-GB-2312"},  {54936, "GB18030"},     {57002, "x-iscii-de"},  {57003, "x-iscii-be"},
    {57004, "x-iscii-ta"},  {57005, "x-iscii-te"},  {57006, "x-iscii-as"},  {57007, "x-iscii-or"},
    {57008, "x-iscii-ka"},  {57009, "x-iscii-ma"},  {57010, "x-iscii-gu"},  {57011, "x-iscii-pa"},
    {65000, "UTF-7"},       {65001, "UTF-8"},
};

int Utf8CharLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

} // namespace

const CodePageEntry *CodePageEntries(size_t *count) {
  *count = sizeof kCodePages / sizeof kCodePages[0];
  return kCodePages;
}

int CodePageIndex(int codePage) {
  for (size_t i = 0; i < sizeof kCodePages / sizeof kCodePages[0]; ++i)
    if (kCodePages[i].codePage == codePage) return static_cast<int>(i);
  return -1;
}

int AnsiCodePage() {
  static const int acp = [] {
    const char *env = std::getenv("QRX_ACP");
    if (env && *env) {
      char *end = nullptr;
      long v = std::strtol(env, &end, 10);
      if (end && *end == '\0' && v > 0 && v < 100000 && CodePageName(static_cast<int>(v)))
        return static_cast<int>(v);
    }
    return system::DefaultAnsiCodePage();
  }();
  return acp;
}

const char *CodePageName(int codePage) {
  const int index = CodePageIndex(codePage);
  if (index < 0 || !system::Converts(static_cast<size_t>(index))) return nullptr;
  return kCodePages[index].name;
}

bool MultiByteToWide(int codePage, std::string_view in, std::u16string *out, bool *lossy) {
  if (!out || !CodePageName(codePage)) return false;
  system::ToWide(static_cast<size_t>(CodePageIndex(codePage)), in, out, lossy);
  return true;
}

bool WideToMultiByte(int codePage, std::u16string_view in, std::string *out, bool *lossy) {
  if (!out || !CodePageName(codePage)) return false;
  system::FromWide(static_cast<size_t>(CodePageIndex(codePage)), in, out, lossy);
  return true;
}

bool ConvertCodePage(int fromCodePage, int toCodePage, std::string_view in, std::string *out,
                     bool *lossy) {
  if (!out || !CodePageName(fromCodePage) || !CodePageName(toCodePage)) return false;
  if (system::ConvertDirect(fromCodePage, toCodePage, in, out, lossy)) return true;
  std::u16string wide;
  bool lost = false;
  if (!MultiByteToWide(fromCodePage, in, &wide, &lost)) return false;
  if (!WideToMultiByte(toCodePage, wide, out, &lost)) return false;
  if (lost && lossy) *lossy = true;
  return true;
}

std::string AnsiToUtf8(std::string_view text) {
  std::string out;
  if (!ConvertCodePage(AnsiCodePage(), 65001, text, &out, nullptr)) return std::string(text);
  return out;
}

std::string Utf8ToAnsi(std::string_view text) {
  std::string out;
  if (!ConvertCodePage(65001, AnsiCodePage(), text, &out, nullptr)) return std::string(text);
  return out;
}

int AnsiCharLength(unsigned char lead) {
  const int acp = AnsiCodePage();
  if (acp == 65001) return Utf8CharLength(lead);
  const int n = system::LeadByteLength(acp, lead);
  return n > 0 ? n : 1;
}

} // namespace qrx::platform
