#include "run_line.h"

namespace qrx::tools {

LineServices &Line() {
  static LineServices services;
  return services;
}

thread_local int t_station = 0;
thread_local StationUnit *t_unit = nullptr;

} // namespace qrx::tools
