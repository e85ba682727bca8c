// Edit distance over the export names, for "did you mean" hints of the host tools.
#include "name_suggestion.h"

#include "interface/export_catalogue.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace qrx::tools {

size_t EditDistance(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  std::vector<size_t> previous(b.size() + 1), current(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t substitute = previous[j - 1] + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitute});
    }
    std::swap(previous, current);
  }
  return previous[b.size()];
}

std::string ClosestExport(std::string_view name) {
  const size_t allowed = std::clamp<size_t>(name.size() / 3, 1, 4);
  std::string_view best;
  size_t bestDistance = allowed + 1;
  for (const ExportRow &row : kExportCatalogue) {
    // A cheap bound first: the distance is at least the difference of the lengths.
    const size_t gap = row.name.size() > name.size() ? row.name.size() - name.size()
                                                      : name.size() - row.name.size();
    if (gap >= bestDistance) continue;
    const size_t distance = EditDistance(name, row.name);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = row.name;
    }
  }
  return std::string(best);
}

} // namespace qrx::tools
