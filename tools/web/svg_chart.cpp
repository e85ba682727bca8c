// SVG chart drawing: plain shapes with <title> tooltips, sized for a report column.
#include "svg_chart.h"

#include "html_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qrx::web {

namespace {

std::string F(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

std::string Short(const std::string &text, size_t max) {
  if (text.size() <= max) return text;
  size_t cut = max - 1;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut; // not inside a UTF-8 sequence
  return text.substr(0, cut) + "\xE2\x80\xA6";
}

std::string Percent(double share) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f %%", 100.0 * share);
  return buf;
}

} // namespace

std::string SvgChart::Number(double value) {
  if (!std::isfinite(value)) return value > 0 ? "inf" : (value < 0 ? "-inf" : "n/a");
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4f", value);
  std::string s = buf;
  while (s.find('.') != std::string::npos && (s.back() == '0' || s.back() == '.')) {
    bool dot = s.back() == '.';
    s.pop_back();
    if (dot) break;
  }
  return s == "-0" ? "0" : s;
}

std::string SvgChart::YieldBars(const std::vector<YieldRow> &rows) {
  const double labelW = 170, barW = 380, rowH = 30;
  double h = rowH * double(rows.size()) + 30;
  std::string s = "<svg class=\"chart yield\" xmlns=\"http://www.w3.org/2000/svg\" width=\"720\" height=\"" + F(h) +
                  "\" viewBox=\"0 0 720 " + F(h) + "\" role=\"img\">";
  for (int p = 0; p <= 100; p += 25) {
    double x = labelW + barW * p / 100.0;
    s += "<line x1=\"" + F(x) + "\" y1=\"0\" x2=\"" + F(x) + "\" y2=\"" + F(h - 20) + "\" stroke=\"#ddd\"/>";
    s += "<text x=\"" + F(x) + "\" y=\"" + F(h - 6) + "\" font-size=\"10\" text-anchor=\"middle\">" +
         std::to_string(p) + "%</text>";
  }
  double y = 4;
  for (const auto &r : rows) {
    std::string key = EscapeHtml(r.key);
    s += "<text x=\"" + F(labelW - 6) + "\" y=\"" + F(y + 16) + "\" font-size=\"12\" text-anchor=\"end\">" +
         EscapeHtml(Short(r.key, 26)) + "<title>" + key + "</title></text>";
    double fp = barW * r.FirstPassYield(), fin = barW * r.FinalYield();
    s += "<rect class=\"bar-fpy\" x=\"" + F(labelW) + "\" y=\"" + F(y + 2) + "\" width=\"" + F(fp) +
         "\" height=\"11\" fill=\"#3b82f6\"><title>" + key + " first pass " + Percent(r.FirstPassYield()) +
         "</title></rect>";
    s += "<rect class=\"bar-final\" x=\"" + F(labelW) + "\" y=\"" + F(y + 14) + "\" width=\"" + F(fin) +
         "\" height=\"11\" fill=\"#10b981\"><title>" + key + " final " + Percent(r.FinalYield()) + "</title></rect>";
    s += "<text x=\"" + F(labelW + barW + 6) + "\" y=\"" + F(y + 12) + "\" font-size=\"11\">" +
         Percent(r.FirstPassYield()) + " first</text>";
    s += "<text x=\"" + F(labelW + barW + 6) + "\" y=\"" + F(y + 25) + "\" font-size=\"11\">" +
         Percent(r.FinalYield()) + " final (" + std::to_string(r.units) + ")</text>";
    y += rowH;
  }
  return s + "</svg>";
}

std::string SvgChart::Pareto(const std::vector<ParetoRow> &rows, size_t maxBars) {
  size_t n = std::min(rows.size(), maxBars);
  const double left = 110, top = 10, plotH = 160, barStep = n ? std::min(60.0, 560.0 / double(n)) : 60;
  double w = left + barStep * double(n) + 50, h = top + plotH + 110;
  int64_t maxCount = 1;
  for (size_t i = 0; i < n; ++i) maxCount = std::max(maxCount, rows[i].count);
  std::string s = "<svg class=\"chart pareto\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" + F(w) +
                  "\" height=\"" + F(h) + "\" viewBox=\"0 0 " + F(w) + " " + F(h) + "\" role=\"img\">";
  s += "<line x1=\"" + F(left) + "\" y1=\"" + F(top + plotH) + "\" x2=\"" + F(w - 40) + "\" y2=\"" +
       F(top + plotH) + "\" stroke=\"#999\"/>";
  s += "<text x=\"" + F(left - 4) + "\" y=\"" + F(top + 8) + "\" font-size=\"10\" text-anchor=\"end\">" +
       std::to_string(maxCount) + "</text>";
  s += "<text x=\"" + F(w - 36) + "\" y=\"" + F(top + 8) + "\" font-size=\"10\">100%</text>";
  std::string line;
  for (size_t i = 0; i < n; ++i) {
    const auto &r = rows[i];
    double bh = plotH * double(r.count) / double(maxCount);
    double x = left + barStep * double(i);
    std::string key = EscapeHtml(r.key);
    s += "<rect class=\"bar\" x=\"" + F(x + 3) + "\" y=\"" + F(top + plotH - bh) + "\" width=\"" + F(barStep - 6) +
         "\" height=\"" + F(bh) + "\" fill=\"#ef4444\"><title>" + key + ": " + std::to_string(r.count) +
         "</title></rect>";
    s += "<text x=\"" + F(x + barStep / 2) + "\" y=\"" + F(top + plotH - bh - 3) +
         "\" font-size=\"10\" text-anchor=\"middle\">" + std::to_string(r.count) + "</text>";
    double lx = x + barStep / 2, ly = top + plotH + 12;
    s += "<text x=\"" + F(lx) + "\" y=\"" + F(ly) + "\" font-size=\"10\" text-anchor=\"end\" transform=\"rotate(-40 " +
         F(lx) + " " + F(ly) + ")\">" + EscapeHtml(Short(r.key, 22)) + "<title>" + key + "</title></text>";
    line += (i ? " " : "") + F(lx) + "," + F(top + plotH * (1 - r.cumulativeShare));
  }
  if (n) s += "<polyline points=\"" + line + "\" fill=\"none\" stroke=\"#111\" stroke-width=\"1.5\"/>";
  return s + "</svg>";
}

std::string SvgChart::Histogram(const ItemStatistics &item, size_t bins) {
  bins = std::clamp<size_t>(bins, 1, 200);
  const double left = 36, top = 22, plotW = 420, plotH = 110, w = left + plotW + 20, h = top + plotH + 34;
  std::string s = "<svg class=\"chart histogram\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" + F(w) +
                  "\" height=\"" + F(h) + "\" viewBox=\"0 0 " + F(w) + " " + F(h) + "\" role=\"img\">";
  if (item.values.empty()) return s + "</svg>";
  auto [mn, mx] = std::minmax_element(item.values.begin(), item.values.end());
  double lo = *mn, hi = *mx;
  double span = hi - lo;
  if (span <= 0) span = std::max(std::fabs(lo) * 0.01, 1e-9);
  // A limit far from the data would squeeze the data into one bar: it is shown only when it
  // lies within one data span of the values, otherwise as a note.
  auto near = [&](double limit) { return limit >= lo - span && limit <= hi + span; };
  if (item.lower && near(*item.lower)) lo = std::min(lo, *item.lower);
  if (item.upper && near(*item.upper)) hi = std::max(hi, *item.upper);
  double pad = (hi - lo > 0 ? hi - lo : span) * 0.05;
  lo -= pad;
  hi += pad;
  if (!std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(hi - lo) || hi <= lo)
    return s + "<text x=\"" + F(left) + "\" y=\"" + F(top + 20) +
           "\" font-size=\"11\">values too far apart to draw</text></svg>";
  std::vector<int64_t> counts(bins, 0);
  for (double v : item.values) {
    double at = (v - lo) / (hi - lo) * double(bins);
    ++counts[at >= 0 ? size_t(std::min(at, double(bins - 1))) : 0];
  }
  int64_t top1 = *std::max_element(counts.begin(), counts.end());
  auto X = [&](double v) { return left + plotW * (v - lo) / (hi - lo); };
  double bw = plotW / double(bins);
  for (size_t b = 0; b < bins; ++b) {
    if (!counts[b]) continue;
    double bh = plotH * double(counts[b]) / double(top1);
    double from = lo + (hi - lo) * double(b) / double(bins);
    s += "<rect class=\"bin\" x=\"" + F(left + bw * double(b)) + "\" y=\"" + F(top + plotH - bh) + "\" width=\"" +
         F(std::max(bw - 1, 1.0)) + "\" height=\"" + F(bh) + "\" fill=\"#6366f1\"><title>" + Number(from) + " to " +
         Number(from + (hi - lo) / double(bins)) + ": " + std::to_string(counts[b]) + "</title></rect>";
  }
  s += "<line x1=\"" + F(left) + "\" y1=\"" + F(top + plotH) + "\" x2=\"" + F(left + plotW) + "\" y2=\"" +
       F(top + plotH) + "\" stroke=\"#999\"/>";
  s += "<text x=\"" + F(left) + "\" y=\"" + F(top + plotH + 14) + "\" font-size=\"10\">" + Number(lo) + "</text>";
  s += "<text x=\"" + F(left + plotW) + "\" y=\"" + F(top + plotH + 14) + "\" font-size=\"10\" text-anchor=\"end\">" +
       Number(hi) + "</text>";
  s += "<text x=\"" + F(left - 4) + "\" y=\"" + F(top + 8) + "\" font-size=\"10\" text-anchor=\"end\">" +
       std::to_string(top1) + "</text>";
  auto marker = [&](double v, const char *cls, const char *colour, const std::string &label, bool dashed) {
    double x = X(v);
    s += "<line class=\"" + std::string(cls) + "\" x1=\"" + F(x) + "\" y1=\"" + F(top - 4) + "\" x2=\"" + F(x) +
         "\" y2=\"" + F(top + plotH) + "\" stroke=\"" + colour + "\" stroke-width=\"1.5\"" +
         (dashed ? " stroke-dasharray=\"4 3\"" : "") + "/>";
    s += "<text x=\"" + F(x) + "\" y=\"" + F(top - 7) + "\" font-size=\"10\" text-anchor=\"middle\" fill=\"" +
         colour + "\">" + EscapeHtml(label) + "</text>";
  };
  std::string notes;
  if (item.lower) {
    if (*item.lower >= lo && *item.lower <= hi) marker(*item.lower, "lsl", "#dc2626", "LSL " + Number(*item.lower), true);
    else notes += "LSL " + Number(*item.lower) + " off scale  ";
  }
  if (item.upper) {
    if (*item.upper >= lo && *item.upper <= hi) marker(*item.upper, "usl", "#dc2626", "USL " + Number(*item.upper), true);
    else notes += "USL " + Number(*item.upper) + " off scale";
  }
  marker(item.mean, "mean", "#111", "mean", false);
  if (!notes.empty())
    s += "<text x=\"" + F(left + plotW / 2) + "\" y=\"" + F(top + plotH + 28) +
         "\" font-size=\"10\" text-anchor=\"middle\" fill=\"#dc2626\">" + EscapeHtml(notes) + "</text>";
  return s + "</svg>";
}

} // namespace qrx::web
