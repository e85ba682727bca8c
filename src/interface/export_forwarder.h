// Runs one export from its catalogue row: finds the calling thread's station, stages the
// arguments as text entries of the parameter data set, calls the test library or manager,
// unstages and returns the verdict. The exported shims are one line each over ForwardExport.
#pragma once

#include "interface/export_catalogue.h"

#include <qrx/download_event.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

class ILogObserver;

namespace qrx {

// One argument of an export, as its row's type letter says.
union ExportArgument {
  int32_t integer;
  double real;
  const char *text;
  char *buffer;
  double *realOut;
  QRXDownloadCallback callback;
  ILogObserver *observer;
};

// The verdict of the export `row` called with `arguments` (one per letter of row.arguments).
int32_t ForwardExport(const ExportRow &row, const ExportArgument *arguments);

// Stores `text` in the calling thread's station under the staging name of section/key;
// 1 when stored, 0 without a station, hub or staging name.
int StageParameter(const char *section, const char *key, const char *text);
// Erases the entry of section/key's staging name; 1 when erased or already absent, 0 without a
// station, hub or staging name.
int UnstageParameter(const char *section, const char *key);

namespace forwarder_detail {

// An export's name as a template argument, so a shim names its row at compile time.
template <size_t N> struct ExportName {
  char text[N];
  consteval ExportName(const char (&name)[N]) {
    for (size_t i = 0; i < N; ++i) text[i] = name[i];
  }
  constexpr std::string_view View() const { return std::string_view(text, N - 1); }
};

template <class T> constexpr char LetterOf() {
  if constexpr (std::is_same_v<T, int32_t>) return argument_type::kInt;
  else if constexpr (std::is_same_v<T, double>) return argument_type::kDouble;
  else if constexpr (std::is_same_v<T, const char *>) return argument_type::kText;
  else if constexpr (std::is_same_v<T, char *>) return argument_type::kTextBuffer;
  else if constexpr (std::is_same_v<T, double *>) return argument_type::kDoubleOut;
  else if constexpr (std::is_same_v<T, QRXDownloadCallback>) return argument_type::kCallback;
  else if constexpr (std::is_same_v<T, ILogObserver *>) return argument_type::kObserver;
  else static_assert(sizeof(T) == 0, "an export argument of a type the catalogue does not know");
}

template <class... A> struct Signature {
  static constexpr char letters[] = {LetterOf<A>()..., '\0'};
  static constexpr std::string_view View() { return std::string_view(letters, sizeof...(A)); }
};

inline ExportArgument Pack(int32_t v) { ExportArgument a; a.integer = v; return a; }
inline ExportArgument Pack(double v) { ExportArgument a; a.real = v; return a; }
inline ExportArgument Pack(const char *v) { ExportArgument a; a.text = v; return a; }
inline ExportArgument Pack(char *v) { ExportArgument a; a.buffer = v; return a; }
inline ExportArgument Pack(double *v) { ExportArgument a; a.realOut = v; return a; }
inline ExportArgument Pack(QRXDownloadCallback v) { ExportArgument a; a.callback = v; return a; }
inline ExportArgument Pack(ILogObserver *v) { ExportArgument a; a.observer = v; return a; }

} // namespace forwarder_detail

// The shim of export `Name`: its parameters must be exactly those of its catalogue row, which
// the compiler checks here, so a shim can never disagree with the table.
template <forwarder_detail::ExportName Name, class... A> int32_t ForwardExport(A... arguments) {
  constexpr size_t index = IndexOfExport(Name.View());
  static_assert(index < kExportCount, "an export that the catalogue does not list");
  static_assert(kExportCatalogue[index].arguments == forwarder_detail::Signature<A...>::View(),
                "the export's parameters differ from its catalogue row");
  if constexpr (sizeof...(A) == 0) {
    return ForwardExport(kExportCatalogue[index], nullptr);
  } else {
    const ExportArgument packed[] = {forwarder_detail::Pack(arguments)...};
    return ForwardExport(kExportCatalogue[index], packed);
  }
}

} // namespace qrx
