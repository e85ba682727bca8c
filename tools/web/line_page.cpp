// The live page. Everything a station sends is put into the page with textContent, never as
// markup, so a serial number "<script>..." is shown as the text it is.
#include "line_page.h"

#include "html_text.h"

namespace qrx::web {

namespace {

const char *kPage = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>@TITLE@</title>
<style>
body{font-family:system-ui,sans-serif;margin:0;background:#f3f4f6;color:#111}
header{display:flex;gap:2em;align-items:baseline;padding:.6em 1em;background:#1f2937;color:#fff}
header h1{font-size:1.2em;margin:0}
.fig b{font-size:1.3em}
header a{color:#93c5fd;margin-left:auto}
#conn{font-size:.85em}
#conn.down{color:#fca5a5}
#tiles{display:grid;grid-template-columns:repeat(auto-fill,minmax(340px,1fr));gap:.8em;padding:.8em}
.tile{background:#fff;border-radius:6px;padding:.6em .8em;border-left:6px solid #9ca3af;box-shadow:0 1px 2px #0002}
.tile.running{border-left-color:#3b82f6}.tile.ended{border-left-color:#111;opacity:.7}
.tile.asking{border-left-color:#f59e0b;background:#fffbeb}
.tile h2{font-size:1em;margin:0 0 .3em;display:flex;gap:.6em}
.tile h2 .state{margin-left:auto;font-weight:normal;color:#555}
.row{font-size:.9em;margin:.15em 0;white-space:nowrap;overflow:hidden;text-overflow:ellipsis}
.lbl{color:#6b7280}
progress{width:100%;height:.8em}
table.items{width:100%;font-size:.8em;border-collapse:collapse;margin-top:.3em}
table.items td{padding:1px 4px;border-top:1px solid #eee}
table.items td.num{text-align:right;font-variant-numeric:tabular-nums}
.pass{color:#047857}.fail{color:#b91c1c;font-weight:bold}
.verdict{font-weight:bold;padding:0 .4em;border-radius:3px}
.verdict.pass{background:#d1fae5}.verdict.fail{background:#fee2e2}
.prompt{margin:.4em 0;padding:.4em;background:#fef3c7;border-radius:4px}
.prompt input{font-size:1.1em;width:60%}
.prompt .pattern{font-family:monospace;font-size:.8em;color:#92400e}
.prompt .why{font-size:.8em;color:#b91c1c}
</style></head>
<body>
<header><h1 id="title">@TITLE@</h1>
<span class="fig">units <b id="units">0</b></span>
<span class="fig">first-pass yield <b id="fpy">–</b></span>
<span class="fig">units/hour <b id="uph">–</b></span>
<span id="conn">connecting…</span>
<a id="report" href="report" target="_blank">report</a></header>
<div id="tiles"></div>
<script>
"use strict";
(function () {
  // The token comes in the URL fragment (never sent to a server) and stays in this tab only.
  var m = /(?:^#|&)token=([^&]*)/.exec(location.hash);
  if (m) {
    sessionStorage.setItem("qrxToken", decodeURIComponent(m[1]));
    history.replaceState(null, "", location.pathname + location.search);
  }
  var token = sessionStorage.getItem("qrxToken") || "";
  var q = token ? "?token=" + encodeURIComponent(token) : "";
  document.getElementById("report").href = "report" + q;

  var tiles = {};
  var tilesBox = document.getElementById("tiles");

  function el(tag, cls, text) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }
  function post(path, body) {
    return fetch(path, {method: "POST", headers: {"Content-Type": "application/json",
      "X-QRX-Request": "page", "X-QRX-Token": token}, body: JSON.stringify(body)})
      .then(function (r) { return r.json(); });
  }

  function makeTile(n) {
    var t = {root: el("div", "tile"), prompt: null};
    t.root.id = "station-" + n;
    t.root.dataset.station = n;
    var h = el("h2");
    t.name = el("span", "name", "Station " + n);
    t.product = el("span", "product");
    t.state = el("span", "state");
    h.append(t.name, t.product, t.state);
    t.promptBox = el("div");
    t.unit = el("div", "row unit");
    t.step = el("div", "row step");
    t.dl = el("div", "row download");
    t.bar = el("progress");
    t.bar.max = 100;
    t.dlText = el("span", "lbl");
    t.dl.append(t.bar, t.dlText);
    t.last = el("div", "row last");
    t.items = el("table", "items");
    t.root.append(h, t.promptBox, t.unit, t.step, t.dl, t.last, t.items);
    // Tiles stay in station order.
    var after = null;
    Object.keys(tiles).map(Number).sort(function (a, b) { return a - b; }).forEach(function (k) {
      if (after === null && k > n) after = tiles[k].root;
    });
    tilesBox.insertBefore(t.root, after);
    tiles[n] = t;
    return t;
  }

  function field(row, label, text, cls) {
    row.textContent = "";
    row.append(el("span", "lbl", label + " "));
    var v = el("span", cls || "", text);
    row.append(v);
    return v;
  }

  // One prompt per station; the input lives as long as the prompt, so typing is never lost to
  // an update, and a new prompt starts with an empty field.
  function showPrompt(t, s) {
    var p = s.prompt;
    if (t.prompt && (!p || t.prompt.id !== p.id)) {
      t.promptBox.textContent = "";
      t.prompt = null;
    }
    if (!p || t.prompt) return;
    var box = el("div", "prompt");
    var input = el("input");
    input.type = "text";
    input.autocomplete = "off";
    input.spellcheck = false;
    input.className = "sn";
    input.setAttribute("aria-label", "serial number for station " + s.station);
    var ok = el("button", "ok", "OK");
    ok.disabled = true;
    var cancel = el("button", "cancel", "Cancel");
    var why = el("div", "why");
    box.append(el("div", "", "Enter the barcode: "), input, ok, cancel,
               el("div", "pattern", p.pattern), why);
    t.promptBox.append(box);
    var ask = 0;
    var state = {id: p.id, input: input, ok: ok};
    t.prompt = state;
    function check() {
      var mine = ++ask;
      var text = input.value;
      ok.disabled = true;
      post("api/match", {station: s.station, prompt: p.id, text: text}).then(function (r) {
        // Only the answer to the latest text counts: a scanner types faster than we hear back.
        if (mine === ask && input.value === text) {
          ok.disabled = !r.matches;
          input.dataset.checked = text;
        }
      }).catch(function () {});
    }
    function submit() {
      why.textContent = "";
      post("api/answer", {station: s.station, prompt: p.id, text: input.value}).then(function (r) {
        if (!r.accepted) why.textContent = r.result === "no match" ? "does not match the pattern" : r.result;
      }).catch(function () { why.textContent = "not sent"; });
    }
    input.addEventListener("input", check);
    input.addEventListener("keydown", function (e) {
      if (e.key === "Enter") { e.preventDefault(); submit(); }
      if (e.key === "Escape") { e.preventDefault(); cancel.click(); }
    });
    ok.addEventListener("click", submit);
    cancel.addEventListener("click", function () {
      post("api/cancel", {station: s.station, prompt: p.id}).catch(function () {});
    });
  }

  // The field that asks gets the focus: the oldest open prompt, unless the operator is already
  // typing into another one.
  function focusPrompt() {
    var active = document.activeElement;
    if (active && active.classList && active.classList.contains("sn") && active.value) return;
    var best = null;
    Object.keys(tiles).forEach(function (k) {
      var p = tiles[k].prompt;
      if (p && (!best || p.id < best.id)) best = p;
    });
    if (best && active !== best.input) best.input.focus();
  }

  function update(s) {
    var t = tiles[s.station] || makeTile(s.station);
    var asking = !!s.prompt;
    t.root.className = "tile " + s.state + (asking ? " asking" : "");
    t.root.dataset.state = asking ? "asking" : s.state;
    t.product.textContent = [s.product, s.config].filter(Boolean).join(" · ");
    t.state.textContent = asking ? "waiting for barcode" : s.state;
    field(t.unit, "unit", s.serialNumber || (s.state === "running" ? "(no serial number yet)" : "–"), "serial");
    var stepText = s.step ? "#" + (s.stepIndex + 1) + " " + s.step + (s.stepArguments ? " (" + s.stepArguments + ")" : "") : "–";
    field(t.step, "step", stepText, "stepname");
    t.step.append(el("span", "lbl", "  " + s.stepsDone + " done" + (s.stepsFailed ? ", " + s.stepsFailed + " failed" : "")));
    t.dl.style.display = s.download.percent < 0 ? "none" : "";
    t.bar.value = Math.max(0, s.download.percent);
    t.dlText.textContent = " download " + s.download.percent + "% " + (s.download.state === "running" ? "" : s.download.state);
    t.last.textContent = "";
    if (s.lastVerdict) {
      t.last.append(el("span", "lbl", "last unit "), el("span", "lastserial", s.lastSerial || "(no serial number)"), document.createTextNode(" "));
      t.last.append(el("span", "verdict " + s.lastVerdict, s.lastVerdict.toUpperCase()));
      if (s.lastFailure) t.last.append(el("span", "lbl", " " + s.lastFailure));
    } else if (s.message) {
      t.last.append(el("span", "lbl", s.message));
    }
    t.items.textContent = "";
    if (s.items.length) {
      var head = el("tr", "lbl");
      ["item", "lower", "value", "upper", ""].forEach(function (h) { head.append(el("td", "num", h)); });
      head.firstChild.className = "";
      t.items.append(head);
    }
    s.items.slice().reverse().forEach(function (i) {
      var tr = el("tr");
      tr.append(el("td", "", i.name), el("td", "num", i.lower), el("td", "num value", i.value),
                el("td", "num", i.upper), el("td", i.passed ? "pass" : "fail", i.verdict));
      t.items.append(tr);
    });
    showPrompt(t, s);
  }

  function figures(f) {
    document.getElementById("units").textContent = f.units;
    document.getElementById("fpy").textContent = f.firstPassUnits ? (100 * f.firstPassYield).toFixed(1) + " %" : "–";
    document.getElementById("uph").textContent = f.units ? f.unitsPerHour.toFixed(0) : "–";
  }

  var conn = document.getElementById("conn");
  var source = new EventSource("events" + q);
  source.addEventListener("line", function (e) {
    var d = JSON.parse(e.data);
    figures(d.figures);
    d.stations.forEach(update);
    focusPrompt();
    conn.textContent = "live";
    conn.className = "";
    document.body.dataset.events = (Number(document.body.dataset.events || 0) + 1).toString();
  });
  source.onerror = function () { conn.textContent = "reconnecting…"; conn.className = "down"; };
})();
</script>
</body></html>
)PAGE";

} // namespace

std::string LinePageHtml(const std::string &title) {
  std::string page = kPage;
  std::string safe = EscapeHtml(title);
  for (size_t at; (at = page.find("@TITLE@")) != std::string::npos;) page.replace(at, 7, safe);
  return page;
}

} // namespace qrx::web
