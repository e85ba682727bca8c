// Reads a sequence file: one export call per line with its arguments and the expected result,
// checked strictly against the exports' argument types.
//
//   # comment
//   @product UFI                  product type for the stations running this file
//   @config UFI_Station.xml       business-configuration file in BusinessCfg
//   GSM_NST_MeasPower(1, 62, 5)   expects 0
//   Check_SN(out) = 0             out: a text buffer whose content is printed
//   ReadSN(out="SN{station}", 0)  and compared
//   LTE_ReadPower_CabLoss(out) != 0
//   WriteSN("SIM{index}X", 0) = any
//   StartDownloadImage("Images/sim_image.bin", 0, progress, "", 0, 0, "")
//   WriteIMEI(@imei, 0)           @imei, @mac, @sn: the unit's value from the identity pool
//   ReadIMEI(out=@imei, 0)        compared with the unit's pool value
//   @wait-download 30             waits for this station's download to finish (seconds)
//   @sleep 100                    milliseconds
//   @echo text
//
// {station} (1-based) and {index} (thread index) are replaced inside texts.
#pragma once

#include "../common/export_catalogue_view.h"

#include <optional>
#include <string>
#include <vector>

namespace qrx::tools {

struct SequenceArg {
  ArgType type;
  long long integer = 0;
  double real = 0;
  std::string text;               // text argument, or the expected buffer content
  bool expectText = false;        // out="..." was given
  bool isNull = false;            // null pointer for c and o
  std::string pool;               // "imei", "mac" or "sn" for @imei, @mac, @sn; else empty
};

struct SequenceStep {
  int line = 0;
  std::string source;             // the line as written
  enum class Kind { kCall, kWaitDownload, kSleep, kEcho } kind = Kind::kCall;
  const ExportRow *row = nullptr;
  std::vector<SequenceArg> args;
  enum class Expect { kEqual, kNotEqual, kAny } expect = Expect::kEqual;
  int expected = 0;
  int number = 0;                 // seconds or milliseconds of the directives
  std::string text;               // echo text
};

struct Sequence {
  std::string path;
  std::string product;            // from @product, empty when not given
  std::string config;             // from @config
  std::vector<SequenceStep> steps;
};

class SequenceParser {
public:
  // Parses the whole file; when any line is wrong returns nothing and sets error to one
  // "<path>:<line>: <what is wrong>" per faulty line, joined by newlines, in file order.
  static std::optional<Sequence> ParseFile(const std::string &path, std::string *error);
  static std::optional<Sequence> ParseText(const std::string &text, const std::string &path,
                                           std::string *error);
  // Replaces {station} and {index}.
  static std::string Expand(const std::string &text, int station, int index);
};

} // namespace qrx::tools
