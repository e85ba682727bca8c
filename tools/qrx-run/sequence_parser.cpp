// A small hand-written scanner: the format is line based, so every error names its line.
#include "sequence_parser.h"

#include "../common/name_suggestion.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qrx::tools {
namespace {

const char *TypeName(ArgType t) {
  switch (t) {
  case ArgType::kInt: return "an integer";
  case ArgType::kDouble: return "a number";
  case ArgType::kText: return "a text in double quotes (or @imei, @mac, @sn)";
  case ArgType::kTextBuffer: return "out or out=\"expected text\"";
  case ArgType::kDoubleOut: return "out";
  case ArgType::kCallback: return "progress or null";
  case ArgType::kObserver: return "observer or null";
  }
  return "?";
}

std::string DescribeArgs(const ExportRow &row) {
  std::string text;
  for (ArgType t : row.args) {
    if (!text.empty()) text += ", ";
    switch (t) {
    case ArgType::kInt: text += "int"; break;
    case ArgType::kDouble: text += "double"; break;
    case ArgType::kText: text += "text"; break;
    case ArgType::kTextBuffer: text += "out text"; break;
    case ArgType::kDoubleOut: text += "out double"; break;
    case ArgType::kCallback: text += "callback"; break;
    case ArgType::kObserver: text += "observer"; break;
    }
  }
  return text.empty() ? "no arguments" : text;
}

std::string Trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

class LineParser {
public:
  LineParser(const std::string &text, int line, std::string *error)
      : s_(text), line_(line), error_(error) {}

  bool Fail(const std::string &what) {
    *error_ = std::to_string(line_) + ": " + what;
    return false;
  }

  void SkipSpace() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  bool AtEnd() {
    SkipSpace();
    return pos_ >= s_.size();
  }
  bool Eat(char c) {
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  std::string Word() {
    SkipSpace();
    size_t b = pos_;
    while (pos_ < s_.size() &&
           (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
      ++pos_;
    return s_.substr(b, pos_ - b);
  }

  bool Quoted(std::string *out) {
    SkipSpace();
    if (pos_ >= s_.size() || s_[pos_] != '"') return false;
    ++pos_;
    while (pos_ < s_.size() && s_[pos_] != '"') {
      char c = s_[pos_++];
      if (c == '\\' && pos_ < s_.size()) {
        char e = s_[pos_++];
        c = e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
      }
      *out += c;
    }
    if (pos_ >= s_.size()) return false;
    ++pos_;
    return true;
  }

  // The raw text of one argument up to the next top-level comma or closing parenthesis.
  std::string RawToken() {
    SkipSpace();
    size_t b = pos_;
    while (pos_ < s_.size() && s_[pos_] != ',' && s_[pos_] != ')') ++pos_;
    return Trim(s_.substr(b, pos_ - b));
  }

  // @imei, @mac or @sn in place of a text: the unit's value from the identity pool.
  bool PoolToken(const ExportRow &row, const std::string &where, SequenceArg *arg) {
    ++pos_;
    std::string kind = Word();
    if (kind != "imei" && kind != "mac" && kind != "sn")
      return Fail(where + ": unknown identity '@" + kind + "' (@imei, @mac or @sn)");
    auto use = ExportCatalogueView::IdentityOf(row);
    if (use && use->kind != kind)
      return Fail(where + ": " + row.name + " handles the " + use->kind + ", not @" + kind);
    arg->pool = kind;
    return true;
  }

  bool Argument(const ExportRow &row, size_t index, SequenceArg *arg) {
    ArgType t = row.args[index];
    arg->type = t;
    std::string where = "argument " + std::to_string(index + 1) + " of " + row.name;
    SkipSpace();
    if (t == ArgType::kText) {
      if (pos_ < s_.size() && s_[pos_] == '@') return PoolToken(row, where, arg);
      if (!Quoted(&arg->text)) return Fail(where + " must be " + TypeName(t) + ", got " + Show(RawToken()));
      return true;
    }
    if (t == ArgType::kTextBuffer || t == ArgType::kDoubleOut) {
      size_t save = pos_;
      std::string w = Word();
      if (w != "out") {
        pos_ = save;
        return Fail(where + " must be " + TypeName(t) + ", got " + Show(RawToken()));
      }
      if (t == ArgType::kTextBuffer && Eat('=')) {
        arg->expectText = true;
        SkipSpace();
        if (pos_ < s_.size() && s_[pos_] == '@') return PoolToken(row, where, arg);
        if (!Quoted(&arg->text)) return Fail(where + ": out= needs a text in double quotes");
      }
      return true;
    }
    if (t == ArgType::kCallback || t == ArgType::kObserver) {
      size_t save = pos_;
      std::string w = Word();
      const char *wanted = t == ArgType::kCallback ? "progress" : "observer";
      if (w == "null") arg->isNull = true;
      else if (w != wanted) {
        pos_ = save;
        return Fail(where + " must be " + TypeName(t) + ", got " + Show(RawToken()));
      }
      return true;
    }
    std::string token = RawToken();
    const char *begin = token.c_str();
    char *end = nullptr;
    errno = 0;
    if (t == ArgType::kInt) {
      long long v = std::strtoll(begin, &end, 10);
      if (token.empty() || *end || errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return Fail(where + " must be " + TypeName(t) + " (32-bit), got " + Show(token));
      arg->integer = v;
    } else {
      double v = std::strtod(begin, &end);
      if (token.empty() || *end || errno == ERANGE || !std::isfinite(v) || std::fabs(v) >= 1e80)
        return Fail(where + " must be " + TypeName(t) + ", got " + Show(token));
      arg->real = v;
    }
    return true;
  }

  static std::string Show(const std::string &token) {
    return token.empty() ? std::string("nothing") : "'" + token + "'";
  }

  bool Expectation(SequenceStep *step) {
    if (AtEnd()) return true;
    bool notEqual = false;
    if (Eat('!')) {
      if (!Eat('=')) return Fail("expected '= N', '!= N' or '= any' after the call");
      notEqual = true;
    } else if (!Eat('=')) {
      return Fail("unexpected text after the call: " + Show(Trim(s_.substr(pos_))));
    }
    std::string rest = Trim(s_.substr(pos_));
    if (!notEqual && rest == "any") {
      step->expect = SequenceStep::Expect::kAny;
      return true;
    }
    char *end = nullptr;
    errno = 0;
    long long v = std::strtoll(rest.c_str(), &end, 10);
    if (rest.empty() || *end || errno == ERANGE || v < INT_MIN || v > INT_MAX)
      return Fail("the expected result must be an integer or any, got " + Show(rest));
    step->expect = notEqual ? SequenceStep::Expect::kNotEqual : SequenceStep::Expect::kEqual;
    step->expected = static_cast<int>(v);
    return true;
  }

  bool Call(SequenceStep *step) {
    std::string name = Word();
    if (name.empty()) return Fail("expected an export name, got " + Show(Trim(s_.substr(pos_))));
    if (name == "InitQRXInterface" || name == "CleanUpQRXInterface")
      return Fail(name + " is called by qrx-run itself for every station");
    const ExportRow *row = ExportCatalogueView::Find(name);
    if (!row) {
      const std::string closest = ClosestExport(name);
      return Fail("unknown export '" + name + "'" +
                  (closest.empty() ? std::string() : " (did you mean " + closest + "?)"));
    }
    step->row = row;
    if (!Eat('(')) return Fail("expected '(' after " + name);
    size_t count = 0;
    if (!Eat(')')) {
      for (;;) {
        if (count >= row->args.size())
          return Fail(name + " takes " + std::to_string(row->args.size()) + " argument(s) (" +
                      DescribeArgs(*row) + "), got more");
        SequenceArg arg;
        if (!Argument(*row, count, &arg)) return false;
        step->args.push_back(arg);
        ++count;
        if (Eat(')')) break;
        if (!Eat(',')) return Fail("expected ',' or ')' in the arguments of " + name);
      }
    }
    if (count != row->args.size())
      return Fail(name + " takes " + std::to_string(row->args.size()) + " argument(s) (" +
                  DescribeArgs(*row) + "), got " + std::to_string(count));
    return Expectation(step);
  }

private:
  const std::string &s_;
  size_t pos_ = 0;
  int line_;
  std::string *error_;
};

bool ParseNumberWord(const std::string &text, int *out) {
  char *end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || errno == ERANGE || v < 0 || v > 3600000) return false;
  *out = static_cast<int>(v);
  return true;
}

} // namespace

std::optional<Sequence> SequenceParser::ParseFile(const std::string &path, std::string *error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": cannot be read";
    return std::nullopt;
  }
  std::stringstream text;
  text << in.rdbuf();
  return ParseText(text.str(), path, error);
}

std::optional<Sequence> SequenceParser::ParseText(const std::string &text, const std::string &path,
                                                  std::string *error) {
  Sequence sequence;
  sequence.path = path;
  std::stringstream in(text);
  std::string raw;
  int lineNumber = 0;
  std::string lineError;
  // Every faulty line is reported, not only the first: one "path:line: what" per line.
  std::vector<std::string> errors;
  auto report = [&](const std::string &what) {
    errors.push_back(path + ":" + what);
  };
  auto fail = [&](const std::string &what) { report(std::to_string(lineNumber) + ": " + what); };
  while (std::getline(in, raw)) {
    ++lineNumber;
    std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    SequenceStep step;
    step.line = lineNumber;
    step.source = line;
    if (line[0] == '@') {
      std::string word = line.substr(1, line.find_first_of(" \t") == std::string::npos
                                            ? std::string::npos
                                            : line.find_first_of(" \t") - 1);
      std::string rest = Trim(line.substr(1 + word.size()));
      if (word == "product") {
        if (rest.empty()) { fail("@product needs QRX or UFI"); continue; }
        sequence.product = rest;
        continue;
      }
      if (word == "config") {
        if (rest.empty()) { fail("@config needs a file name"); continue; }
        sequence.config = rest;
        continue;
      }
      if (word == "wait-download") {
        step.kind = SequenceStep::Kind::kWaitDownload;
        step.number = 60;
        if (!rest.empty() && !ParseNumberWord(rest, &step.number))
        {
          fail("@wait-download takes a time-out in seconds, got '" + rest + "'");
          continue;
        }
      } else if (word == "sleep") {
        step.kind = SequenceStep::Kind::kSleep;
        if (!ParseNumberWord(rest, &step.number))
        {
          fail("@sleep takes milliseconds, got '" + rest + "'");
          continue;
        }
      } else if (word == "echo") {
        step.kind = SequenceStep::Kind::kEcho;
        step.text = rest;
      } else {
        fail("unknown directive '@" + word + "'");
        continue;
      }
      sequence.steps.push_back(step);
      continue;
    }
    LineParser parser(line, lineNumber, &lineError);
    if (!parser.Call(&step)) {
      report(lineError);
      continue;
    }
    sequence.steps.push_back(std::move(step));
  }
  if (!errors.empty()) {
    error->clear();
    for (const std::string &e : errors) *error += (error->empty() ? "" : "\n") + e;
    return std::nullopt;
  }
  return sequence;
}

std::string SequenceParser::Expand(const std::string &text, int station, int index) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 9, "{station}") == 0) {
      out += std::to_string(station);
      i += 9;
    } else if (text.compare(i, 7, "{index}") == 0) {
      out += std::to_string(index);
      i += 7;
    } else {
      out += text[i++];
    }
  }
  return out;
}

} // namespace qrx::tools
