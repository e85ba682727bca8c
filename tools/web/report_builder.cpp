// Report builder: the sections of the report over the figures, each figure also carried in
// data- attributes so tools can read the numbers the page shows.
#include "report_builder.h"

#include "html_text.h"
#include "report_figures.h"
#include "svg_chart.h"
#include "store/unit_json.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace qrx::web {

using qrx::store::UnitRecord;
using qrx::store::VerdictName;

namespace {

const char *kStyle = R"CSS(
body{font-family:system-ui,sans-serif;margin:0 auto;max-width:1100px;padding:1em;color:#111}
h1{font-size:1.5em}h2{margin-top:2em;border-bottom:2px solid #ddd}h3{font-size:1em;margin:1.2em 0 .3em}
table{border-collapse:collapse;font-size:.85em;margin:.5em 0}
td,th{border:1px solid #ddd;padding:2px 6px;text-align:left;vertical-align:top}
td.n{text-align:right;font-variant-numeric:tabular-nums}
.pass{color:#047857}.fail{color:#b91c1c;font-weight:bold}.incomplete{color:#92400e}
.summary span{display:inline-block;margin-right:2em}.summary b{font-size:1.4em}
.item{display:inline-block;vertical-align:top;margin:0 1em 1em 0;border:1px solid #eee;padding:.3em}
.item table{font-size:.8em}
details.unit{border:1px solid #ddd;margin:.3em 0;padding:.2em .5em}
details.unit summary{cursor:pointer}
details.unit:target{outline:3px solid #f59e0b}
#search{font-size:1.1em;width:20em}
.muted{color:#6b7280;font-size:.85em}
nav a{margin-right:1em}
)CSS";

// Finds units by serial number or unit id, offline: filters the index and opens a unit that
// the address names.
const char *kScript = R"JS(
(function(){
  var box=document.getElementById("search"), rows=document.querySelectorAll("#index tbody tr");
  function filter(){
    var q=box.value.trim().toLowerCase(), shown=0, last=null;
    rows.forEach(function(r){var hit=!q||r.dataset.serial.toLowerCase().indexOf(q)>=0||r.dataset.unit.toLowerCase().indexOf(q)>=0;
      r.style.display=hit?"":"none"; if(hit){shown++; last=r;}});
    document.getElementById("found").textContent=q?shown+" found":"";
    return shown===1?last:null;
  }
  box.addEventListener("input",filter);
  box.addEventListener("keydown",function(e){if(e.key==="Enter"){var r=filter(); if(r) location.hash=r.dataset.anchor;}});
  function open(){var id=location.hash.slice(1), d=id&&document.getElementById(id); if(d&&d.tagName==="DETAILS"){d.open=true; d.scrollIntoView();}}
  window.addEventListener("hashchange",open); open();
})();
)JS";

std::string Pct(double share) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f %%", 100 * share);
  return buf;
}

std::string Exact(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

std::string Td(const std::string &text, const char *cls = nullptr) {
  return std::string("<td") + (cls ? std::string(" class=\"") + cls + "\"" : "") + ">" + EscapeHtml(text) + "</td>";
}

std::string YieldTable(const char *group, const std::vector<YieldRow> &rows) {
  std::string s = "<table class=\"yields\" data-group=\"" + std::string(group) +
                  "\"><tr><th>" + group + "</th><th>units</th><th>tests</th><th>first pass</th>"
                  "<th>first-pass yield</th><th>final pass</th><th>final yield</th></tr>";
  for (const auto &r : rows)
    s += "<tr class=\"yield\" data-key=\"" + EscapeHtml(r.key) + "\" data-units=\"" + std::to_string(r.units) +
         "\" data-fpy=\"" + Exact(r.FirstPassYield()) + "\" data-final=\"" + Exact(r.FinalYield()) + "\">" +
         Td(r.key) + "<td class=\"n\">" + std::to_string(r.units) + "</td><td class=\"n\">" +
         std::to_string(r.tests) + "</td><td class=\"n\">" + std::to_string(r.firstPass) +
         "</td><td class=\"n\">" + Pct(r.FirstPassYield()) + "</td><td class=\"n\">" +
         std::to_string(r.finalPass) + "</td><td class=\"n\">" + Pct(r.FinalYield()) + "</td></tr>";
  return s + "</table>";
}

std::string ParetoTable(const char *what, const std::vector<ParetoRow> &rows) {
  std::string s = "<table class=\"pareto\" data-of=\"" + std::string(what) + "\"><tr><th>" + what +
                  "</th><th>failures</th><th>cumulative</th></tr>";
  for (const auto &r : rows)
    s += "<tr data-key=\"" + EscapeHtml(r.key) + "\" data-count=\"" + std::to_string(r.count) + "\">" + Td(r.key) +
         "<td class=\"n\">" + std::to_string(r.count) + "</td><td class=\"n\">" + Pct(r.cumulativeShare) + "</td></tr>";
  return s + "</table>";
}

std::string Anchor(size_t index) { return "u" + std::to_string(index); }

} // namespace

ReportBuilder::ReportBuilder(ReportOptions options) : options_(std::move(options)) {}

std::string ReportBuilder::Build(const std::vector<UnitRecord> &units) const {
  ReportFigures fig(units);
  const auto &line = fig.Line();
  std::string title = EscapeHtml(options_.title);
  std::string h;
  h.reserve(4096 + units.size() * 2048);
  h += "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + title +
       "</title><style>" + kStyle + "</style></head><body>";
  h += "<h1>" + title + "</h1>";
  int64_t firstUs = 0, lastUs = 0;
  for (const auto &u : units) {
    if (!firstUs || (u.startedUs && u.startedUs < firstUs)) firstUs = u.startedUs;
    lastUs = std::max(lastUs, std::max(u.endedUs, u.startedUs));
  }
  h += "<p class=\"muted\">" + std::to_string(units.size()) + " tests";
  if (firstUs) h += " from " + ReportFigures::TimeText(firstUs) + " to " + ReportFigures::TimeText(lastUs) + " UTC";
  if (!options_.source.empty()) h += ", from " + EscapeHtml(options_.source);
  h += ". A unit is one serial number; it counts where and when it was first tested. First pass: "
       "its first test passed; final: its last test passed.</p>";
  h += "<nav><a href=\"#yield\">yield</a><a href=\"#pareto\">failures</a><a href=\"#items\">measurements</a>"
       "<a href=\"#retests\">retests</a><a href=\"#units\">units</a></nav>";

  h += "<div class=\"summary\" id=\"line\" data-units=\"" + std::to_string(line.units) + "\" data-fpy=\"" +
       Exact(line.FirstPassYield()) + "\" data-final=\"" + Exact(line.FinalYield()) + "\">";
  h += "<span>units <b>" + std::to_string(line.units) + "</b></span>";
  h += "<span>tests <b>" + std::to_string(line.tests) + "</b></span>";
  h += "<span>first-pass yield <b class=\"fpy\">" + Pct(line.FirstPassYield()) + "</b></span>";
  h += "<span>final yield <b class=\"final\">" + Pct(line.FinalYield()) + "</b></span>";
  h += "<span>retested <b>" + std::to_string(fig.Retests().size()) + "</b></span>";
  if (fig.Incomplete()) h += "<span class=\"incomplete\">incomplete <b>" + std::to_string(fig.Incomplete()) + "</b></span>";
  h += "</div>";

  h += "<h2 id=\"yield\">Yield</h2>";
  const std::pair<const char *, const std::vector<YieldRow> *> groups[] = {
      {"product", &fig.ByProduct()}, {"station", &fig.ByStation()}, {"day", &fig.ByDay()}};
  for (const auto &[name, rows] : groups) {
    h += std::string("<h3>by ") + name + "</h3>";
    h += SvgChart::YieldBars(*rows);
    h += YieldTable(name, *rows);
  }

  h += "<h2 id=\"pareto\">Failures</h2>";
  h += "<h3>by first failing step</h3>";
  if (fig.FailingSteps().empty()) h += "<p>No failed tests.</p>";
  else h += SvgChart::Pareto(fig.FailingSteps()) + ParetoTable("step", fig.FailingSteps());
  h += "<h3>by failing test item</h3>";
  if (fig.FailingItems().empty()) h += "<p>No failing test items.</p>";
  else h += SvgChart::Pareto(fig.FailingItems()) + ParetoTable("item", fig.FailingItems());

  h += "<h2 id=\"items\">Measurements</h2><p class=\"muted\">Items of one name and the same limits. "
       "sd: sample standard deviation. Cpk: distance of the mean to the nearer limit in three standard "
       "deviations (one-sided with one limit).</p>";
  // Lowest Cpk first: the items closest to their limits are what an engineer looks for.
  std::vector<size_t> order(fig.Items().size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const auto &x = fig.Items()[a], &y = fig.Items()[b];
    if (x.cpk.has_value() != y.cpk.has_value()) return x.cpk.has_value();
    return x.cpk && *x.cpk < *y.cpk;
  });
  for (size_t i : order) {
    const auto &it = fig.Items()[i];
    std::string cpk = it.cpk ? SvgChart::Number(*it.cpk) : "n/a";
    h += "<div class=\"item\" data-name=\"" + EscapeHtml(it.name) + "\" data-lower=\"" + EscapeHtml(it.lowerText) +
         "\" data-upper=\"" + EscapeHtml(it.upperText) + "\" data-count=\"" + std::to_string(it.values.size()) +
         "\" data-mean=\"" + Exact(it.mean) + "\" data-sd=\"" + Exact(it.sd) + "\" data-cpk=\"" +
         (it.cpk ? Exact(*it.cpk) : std::string()) + "\" data-outside=\"" + std::to_string(it.outside) + "\">";
    h += "<h3>" + EscapeHtml(it.name) + " <span class=\"muted\">[" + EscapeHtml(it.lowerText) + ", " +
         EscapeHtml(it.upperText) + "]</span></h3>";
    h += SvgChart::Histogram(it, options_.histogramBins);
    h += "<table><tr><th>n</th><th>mean</th><th>sd</th><th>Cpk</th><th>outside limits</th><th>failed</th></tr><tr>"
         "<td class=\"n\">" + std::to_string(it.values.size()) + "</td><td class=\"n\">" + SvgChart::Number(it.mean) +
         "</td><td class=\"n\">" + SvgChart::Number(it.sd) + "</td><td class=\"n cpk\">" + cpk +
         "</td><td class=\"n\">" + std::to_string(it.outside) + "</td><td class=\"n\">" + std::to_string(it.failed) +
         "</td></tr></table></div>";
  }
  if (fig.Items().empty()) h += "<p>No measured items.</p>";

  h += "<h2 id=\"retests\">Retests</h2>";
  if (fig.Retests().empty()) h += "<p>No unit was tested more than once.</p>";
  else {
    h += "<table id=\"retest-table\"><tr><th>serial number</th><th>tests</th><th>verdicts in order</th>"
         "<th>stations</th><th>final</th></tr>";
    for (const auto &r : fig.Retests()) {
      std::string verdicts, stations;
      for (size_t k : r.tests) {
        const auto &u = units[k];
        verdicts += "<a href=\"#" + Anchor(k) + "\" class=\"" + VerdictName(u.verdict) + "\">" +
                    VerdictName(u.verdict) + "</a> ";
        stations += EscapeHtml(ReportFigures::StationKey(u)) + " ";
      }
      const auto &last = units[r.tests.back()];
      h += "<tr class=\"retest\" data-serial=\"" + EscapeHtml(r.serialNumber) + "\" data-tests=\"" +
           std::to_string(r.tests.size()) + "\">" + Td(r.serialNumber) + "<td class=\"n\">" +
           std::to_string(r.tests.size()) + "</td><td>" + verdicts + "</td><td>" + stations + "</td>" +
           Td(VerdictName(last.verdict), VerdictName(last.verdict)) + "</tr>";
    }
    h += "</table>";
  }

  h += "<h2 id=\"units\">Units</h2><p><input id=\"search\" type=\"search\" placeholder=\"serial number or unit id\" "
       "aria-label=\"find a unit\"> <span id=\"found\" class=\"muted\"></span></p>";
  h += "<table id=\"index\"><thead><tr><th>serial number</th><th>started (UTC)</th><th>product</th><th>station</th>"
       "<th>verdict</th><th>first failing step</th></tr></thead><tbody>";
  // Newest first; whole records for the newest maxUnitRecords units.
  std::vector<size_t> byTime(units.size());
  std::iota(byTime.begin(), byTime.end(), 0);
  std::stable_sort(byTime.begin(), byTime.end(),
                   [&](size_t a, size_t b) { return units[a].startedUs > units[b].startedUs; });
  for (size_t k : byTime) {
    const auto &u = units[k];
    const char *v = VerdictName(u.verdict);
    h += "<tr data-serial=\"" + EscapeHtml(u.serialNumber) + "\" data-unit=\"" + EscapeHtml(u.unitId) +
         "\" data-anchor=\"" + Anchor(k) + "\"><td><a href=\"#" + Anchor(k) + "\">" +
         EscapeHtml(u.serialNumber.empty() ? "(none)" : u.serialNumber) + "</a></td>" +
         Td(ReportFigures::TimeText(u.startedUs)) + Td(u.productType) + Td(ReportFigures::StationKey(u)) +
         Td(v, v) + Td(u.verdict == qrx::store::UnitVerdict::Fail ? ReportFigures::FailingStep(u) : "") + "</tr>";
  }
  h += "</tbody></table>";
  size_t written = 0;
  for (size_t k : byTime) {
    if (written++ >= options_.maxUnitRecords) {
      h += "<p class=\"muted\">Older records are left out of this file.</p>";
      break;
    }
    const auto &u = units[k];
    const char *v = VerdictName(u.verdict);
    h += "<details class=\"unit\" id=\"" + Anchor(k) + "\"><summary>" +
         EscapeHtml(u.serialNumber.empty() ? "(no serial number)" : u.serialNumber) + " &middot; <span class=\"" + v +
         "\">" + v + "</span> &middot; " + EscapeHtml(ReportFigures::TimeText(u.startedUs)) + " &middot; " +
         EscapeHtml(ReportFigures::StationKey(u)) + "</summary>";
    h += "<table><tr><th>unit id</th>" + Td(u.unitId) + "</tr><tr><th>product</th>" + Td(u.productType) +
         "</tr><tr><th>configuration</th>" + Td(u.businessConfig) + "</tr><tr><th>host / station / thread</th>" +
         Td(u.hostName + " / " + std::to_string(u.stationIndex) + " / " + std::to_string(u.threadIndex)) +
         "</tr><tr><th>sequence</th>" + Td(u.sequenceFile + " " + u.sequenceHash) + "</tr><tr><th>time (UTC)</th>" +
         Td(ReportFigures::TimeText(u.startedUs) + " to " + (u.endedUs ? ReportFigures::TimeText(u.endedUs) : "(running)")) +
         "</tr>";
    if (!u.failureReason.empty()) h += "<tr><th>failure</th>" + Td(u.failureReason, "fail") + "</tr>";
    h += "</table>";
    if (!u.steps.empty()) {
      h += "<table><tr><th>#</th><th>step</th><th>arguments</th><th>result</th><th>ms</th></tr>";
      for (const auto &s : u.steps)
        h += "<tr>" + Td(std::to_string(s.index + 1)) + Td(s.exportName) + Td(s.arguments) +
             Td(std::to_string(s.result), s.passed ? "pass" : "fail") + "<td class=\"n\">" +
             SvgChart::Number(double(s.durationUs) / 1000.0) + "</td></tr>";
      h += "</table>";
    }
    if (!u.items.empty()) {
      h += "<table><tr><th>step</th><th>item</th><th>lower</th><th>value</th><th>upper</th><th>verdict</th></tr>";
      for (const auto &t : u.items)
        h += "<tr>" + Td(t.stepIndex >= 0 ? std::to_string(t.stepIndex + 1) : "") + Td(t.name) + Td(t.lower) +
             Td(t.value) + Td(t.upper) + Td(t.verdict, t.passed ? "pass" : "fail") + "</tr>";
      h += "</table>";
    }
    if (!u.identities.empty()) {
      h += "<table><tr><th>identity</th><th>value</th><th>action</th><th>result</th><th>pool</th></tr>";
      for (const auto &i : u.identities)
        h += "<tr>" + Td(i.kind) + Td(i.value) + Td(i.action) + Td(std::to_string(i.result)) +
             Td(i.fromPool ? "yes" : "") + "</tr>";
      h += "</table>";
    }
    if (!u.downloads.empty()) {
      h += "<table><tr><th>download</th><th>outcome</th><th>s</th></tr>";
      for (const auto &d : u.downloads)
        h += "<tr>" + Td(d.image) + Td(d.outcome.empty() ? (d.success ? "finished" : "failed") : d.outcome,
                                       d.success ? "pass" : "fail") +
             "<td class=\"n\">" + SvgChart::Number(double(d.durationUs) / 1e6) + "</td></tr>";
      h += "</table>";
    }
    h += "</details>";
  }
  h += std::string("<script>") + kScript + "</script></body></html>";
  return h;
}

} // namespace qrx::web
