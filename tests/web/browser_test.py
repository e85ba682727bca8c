#!/usr/bin/env python3
"""The live page and the report in a real headless Chromium, driven through chromedriver's
WebDriver HTTP API: tiles follow a running demo line, the prompt's OK follows the pattern as the
test types, a typed serial number reaches the station and its unit record, markup from stations
stays text, and the report's figures match values computed here from the same units. With --run,
the same on the simulated line run by qrx-run --web: the barcode typed into the page reaches the
simulated station and its unit record in qrx-run's --json output.
Exits 77 (skipped) when chromium or chromedriver is not installed."""
import argparse, base64, json, os, shutil, socket, statistics, subprocess, sys, tempfile, threading, time

from qrx_run_web_test import Run, check, failures, http, wait_for

W3C_ELEMENT = "element-6066-11e4-a07b-b2e5e6b1ac7a"
# Station 1's OK button once the server has judged the text given: 'enabled', 'disabled' or null.
OK_STATE = ("var i=document.querySelector('#station-1 input.sn'), b=document.querySelector('#station-1 button.ok');"
            "return i.dataset.checked === arguments[0] ? (b.disabled ? 'disabled' : 'enabled') : null;")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def type_and_judge(browser, field, steps):
    """Types each step's keys into station 1's field; the field then holds its text, and OK is in
    its state (not checked when None) once the server judged it."""
    for keys, text, state in steps:
        browser.type(field, keys)
        judged = browser.wait(OK_STATE, "the server judged %r" % text, 5, text)
        if state:
            check(judged == state, "OK %s with %r" % (state, text))


class Browser:
    def __init__(self, driver_url, profile):
        self.base = driver_url
        args = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--disable-dev-shm-usage", "--user-data-dir=" + profile, "--window-size=1280,900"]
        caps = {"capabilities": {"alwaysMatch": {"browserName": "chrome", "goog:chromeOptions": {
            "binary": shutil.which("chromium"), "args": args}}}}
        status, body = http("POST", self.base + "/session", caps, timeout=60)
        value = json.loads(body)["value"]
        if status != 200:
            raise RuntimeError("no browser session: %s" % value)
        self.session = self.base + "/session/" + value["sessionId"]

    def cmd(self, method, path, body=None):
        status, raw = http(method, self.session + path, body)
        value = json.loads(raw)["value"] if raw else None
        if status != 200:
            raise RuntimeError("%s %s: %s" % (method, path, value))
        return value

    def go(self, url):
        self.cmd("POST", "/url", {"url": url})

    def js(self, script, *args):
        return self.cmd("POST", "/execute/sync", {"script": script, "args": list(args)})

    def element(self, css):
        found = self.cmd("POST", "/element", {"using": "css selector", "value": css})
        return found.get(W3C_ELEMENT) or found.get("ELEMENT") or next(iter(found.values()))

    def type(self, element, text):
        self.cmd("POST", "/element/%s/value" % element, {"text": text})

    def screenshot(self, path, width, height):
        self.cmd("POST", "/window/rect", {"width": width, "height": height})
        time.sleep(0.3)
        png = base64.b64decode(self.cmd("GET", "/screenshot"))
        with open(path + ".tmp", "wb") as f:
            f.write(png)
        os.replace(path + ".tmp", path)

    def wait(self, script, what, timeout=10.0, *args):
        end = time.time() + timeout
        value = None
        while time.time() < end:
            try:
                value = self.js(script, *args)
            except RuntimeError as e:  # the element is not there yet
                value = str(e)[:200]
                if "javascript error" not in value:
                    raise
                value = None
            if value:
                return value
            time.sleep(0.05)
        check(False, what + " (timed out, last %r)" % (value,))
        return value

    def close(self):
        try:
            http("DELETE", self.session)
        except Exception:
            pass


# ---- figures computed here, independently of the report ----

def load_units(path):
    with open(path, encoding="utf-8") as f:
        return [json.loads(line) for line in f if line.strip()]


def first_pass_and_final(units):
    tests = {}
    for i, u in enumerate(units):
        if u["verdict"] == "incomplete":
            continue
        key = u["serialNumber"] or ("#%d" % i)
        tests.setdefault(key, []).append(u)
    first = final = 0
    for serial, ts in tests.items():
        ts.sort(key=lambda u: u["startedUs"])
        first += ts[0]["verdict"] == "pass"
        final += ts[-1]["verdict"] == "pass"
    return len(tests), first / len(tests), final / len(tests)


def item_figures(units, name, lower, upper):
    values = [i["valueNumber"] for u in units for i in u["items"]
              if i["name"] == name and i["lower"] == lower and i["upper"] == upper and i["valueNumber"] is not None]
    mean = statistics.fmean(values)
    sd = statistics.stdev(values)
    lo, hi = float(lower), float(upper)
    cpk = min(hi - mean, mean - lo) / (3 * sd)
    outside = sum(1 for v in values if v < lo or v > hi)
    return len(values), mean, sd, cpk, outside


def close(a, b, tolerance):
    return abs(a - b) <= tolerance * max(1.0, abs(b))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--demo", required=True)
    ap.add_argument("--report", required=True)
    ap.add_argument("--docs", help="write the screenshots here")
    ap.add_argument("--run", help="qrx-run, for the simulated line")
    ap.add_argument("--station", help="the simulated station's deployment directory")
    ap.add_argument("--examples", help="the example sequences")
    a = ap.parse_args()
    if not shutil.which("chromium") or not shutil.which("chromedriver"):
        print("chromium or chromedriver not installed: skipped")
        return 77
    started = time.time()
    work = tempfile.mkdtemp(prefix="qrx-browser-")
    driver_port = free_port()
    driver = subprocess.Popen(["chromedriver", "--port=%d" % driver_port], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    demo = None
    browser = None
    sim_line = None
    try:
        driver_url = "http://127.0.0.1:%d" % driver_port
        if not wait_for(lambda: _ready(driver_url), 20):
            raise RuntimeError("chromedriver did not start")
        browser = Browser(driver_url, os.path.join(work, "profile"))

        # ---- the live page over a running demo line ----
        pattern = "^[0-9A-Za-z]{10}$"
        demo = subprocess.Popen([a.demo, "--stations", "4", "--step-ms", "120", "--ask", "1", "--inject", "2",
                                 "--pattern", pattern, "--seed", "5"],
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        lines = []
        url = demo.stdout.readline().split()[1]
        threading.Thread(target=lambda: [lines.append(l.strip()) for l in demo.stdout], daemon=True).start()
        browser.go(url)
        browser.wait("return document.querySelectorAll('#tiles .tile').length === 4", "a tile per station")

        # Tiles follow the stations: station 3's step changes, its download bar moves, verdicts come.
        seen_steps, seen_bar = set(), set()
        end = time.time() + 8
        while time.time() < end and (len(seen_steps) < 4 or not seen_bar):
            s = browser.js("var t=document.getElementById('station-3');"
                           "return [t.querySelector('.stepname').textContent, t.querySelector('progress').value,"
                           "t.querySelector('.download').style.display];")
            seen_steps.add(s[0])
            if s[2] != "none" and 0 < s[1] < 100:
                seen_bar.add(s[1])
            time.sleep(0.03)
        check(len(seen_steps) >= 4, "station 3's tile followed its steps (%d seen)" % len(seen_steps))
        check(bool(seen_bar), "station 3's download bar moved (%s)" % sorted(seen_bar))
        browser.wait("return /^S3U\\d+$/.test(document.querySelector('#station-3 .lastserial').textContent)"
                     "&& /PASS|FAIL/.test(document.querySelector('#station-3 .verdict').textContent)",
                     "station 3 shows its last unit's serial number and verdict")
        units = browser.wait("return Number(document.getElementById('units').textContent) >= 2",
                             "the line's unit counter counts")
        check(bool(units), "counters above the tiles")

        # Markup from a station is text: the serial number and item name show as typed, nothing runs.
        injected = browser.wait("var t=document.getElementById('station-2');"
                                "var s=t.querySelector('.lastserial')||t.querySelector('.serial');"
                                "return s && s.textContent.indexOf(\"<script>document.title='pwned'</script>\")===0"
                                "&& t.querySelector('.items td').parentNode.parentNode.textContent.indexOf('<img src=x')>=0",
                                "the injected markup shows as text")
        check(bool(injected), "a serial number <script>... renders as text")
        check(browser.js("return document.title") == "Demo line", "the injected script did not run")
        check(browser.js("return document.querySelectorAll('#tiles script, #tiles img').length") == 0,
              "no element made from station data")

        # The prompt: focus moves to the asking field; OK follows the pattern as the test types.
        browser.wait("return !!document.querySelector('#station-1 input.sn')", "station 1 asks for a serial number")
        check(browser.js("return document.activeElement === document.querySelector('#station-1 input.sn')"),
              "the asking field has the focus")
        field = browser.element("#station-1 input.sn")
        typed = "Ab3De6Gh9J"
        # Ten characters of the class enable OK; an eleventh or one outside the class (then
        # deleted with backspace) disables it again.
        type_and_judge(browser, field, [("A", "A", "disabled"), ("b3De6Gh9", "Ab3De6Gh9", "disabled"),
                                        ("J", typed, "enabled"), ("K", typed + "K", "disabled"),
                                        ("\ue003", typed, "enabled"), ("-", typed + "-", "disabled"),
                                        ("\ue003", typed, "enabled")])
        browser.type(field, "\ue007")  # Enter, as a barcode scanner sends it
        answer = "answer station=1 serial=" + typed
        check(wait_for(lambda: answer in lines, 5), "the typed serial number reached the station")

        # ... and its unit record; the field is empty for the next unit.
        def unit_recorded():
            status, body = http("GET", url + "api/units")
            return status == 200 and any(json.loads(l)["serialNumber"] == typed and json.loads(l)["stationIndex"] == 1
                                         for l in body.decode().splitlines())
        check(wait_for(unit_recorded, 10), "the unit record carries the typed serial number")
        check(bool(browser.wait("var i=document.querySelector('#station-1 input.sn');"
                                "return i && i.value === '' && document.activeElement === i && "
                                "document.querySelector('#station-1 .lastserial').textContent === arguments[0]",
                                "the next unit asks with an empty, focused field", 10, typed)),
              "the field cleared for the next unit")
        report_href = browser.js("return document.getElementById('report').href")
        status, body = http("GET", report_href)
        check(status == 200 and b"Demo line report" in body and typed.encode() in body,
              "the page links to a report of the units it has seen")

        if a.run:
            sim_line = start_real_line(a, work)
            real_line(browser, sim_line, a.docs)

        # ---- a report of a few hundred units ----
        units_file = os.path.join(work, "units.jsonl")
        report_file = os.path.join(work, "report.html")
        subprocess.run([a.demo, "--generate", "300", "--seed", "7", "-o", units_file], check=True)
        subprocess.run([a.report, "--db", units_file, "-o", report_file, "--title", "Final test, line 1"], check=True)
        units = load_units(units_file)
        n, fpy, final = first_pass_and_final(units)
        browser.go("file://" + report_file)
        browser.wait("return document.readyState === 'complete'", "the report loads")
        charts = browser.js("return {yield: document.querySelectorAll('svg.chart.yield').length,"
                            "pareto: document.querySelectorAll('svg.chart.pareto rect.bar').length,"
                            "hist: document.querySelectorAll('svg.chart.histogram').length,"
                            "bins: document.querySelectorAll('svg.chart.histogram rect.bin').length}")
        distinct_items = {(i["name"], i["lower"], i["upper"]) for u in units for i in u["items"] if i["valueNumber"] is not None}
        check(charts["yield"] == 3 and charts["pareto"] > 0 and charts["hist"] == len(distinct_items) and charts["bins"] > 20,
              "the report has its charts (%s)" % charts)
        line = browser.js("var l=document.getElementById('line'); return [l.dataset.units, l.dataset.fpy, l.dataset.final,"
                          "l.querySelector('.fpy').textContent, l.querySelector('.final').textContent];")
        check(int(line[0]) == n, "units %s = %d" % (line[0], n))
        check(close(float(line[1]), fpy, 1e-9) and line[3] == "%.1f %%" % (100 * fpy),
              "first-pass yield %s (%s) = %.6f" % (line[1], line[3], fpy))
        check(close(float(line[2]), final, 1e-9) and line[4] == "%.1f %%" % (100 * final),
              "final yield %s (%s) = %.6f" % (line[2], line[4], final))
        check(final > fpy, "retests raise the final yield above first pass")
        count, mean, sd, cpk, outside = item_figures(units, "TxPower", "31.00", "34.00")
        shown = browser.js("var d=document.querySelector('.item[data-name=\"TxPower\"][data-lower=\"31.00\"]');"
                           "return [d.dataset.count, d.dataset.mean, d.dataset.sd, d.dataset.cpk, d.dataset.outside,"
                           "d.querySelector('td.cpk').textContent, d.querySelectorAll('line.lsl, line.usl').length];")
        check(int(shown[0]) == count and int(shown[4]) == outside, "TxPower count %s and outside %s" % (shown[0], shown[4]))
        check(close(float(shown[1]), mean, 1e-9) and close(float(shown[2]), sd, 1e-9), "TxPower mean and sd")
        check(close(float(shown[3]), cpk, 1e-9) and abs(float(shown[5]) - cpk) < 5e-5,
              "TxPower Cpk %s (shown %s) = %.6f" % (shown[3], shown[5], cpk))
        check(shown[6] == 2, "the TxPower histogram marks both limits")

        # A unit found by its serial number, offline.
        retested = browser.js("return document.querySelector('tr.retest').dataset.serial")
        search = browser.element("#search")
        browser.type(search, retested)
        check(browser.js("return document.getElementById('found').textContent") == "2 found",
              "the search finds both tests of a retested unit")
        browser.js("var s=document.getElementById('search'); s.value=''; s.dispatchEvent(new Event('input'));")
        one = units[-1]["serialNumber"] if units[-1]["serialNumber"] != retested else units[0]["serialNumber"]
        browser.type(search, one + "\ue007")
        opened = browser.wait("var d=document.getElementById(location.hash.slice(1));"
                              "return d && d.tagName==='DETAILS' && d.open && d.querySelector('summary').textContent.indexOf(arguments[0])===0",
                              "Enter opens the unit's record", 5, one)
        check(bool(opened), "a unit's whole record is found by its serial number")
        if a.docs:
            browser.js("var s=document.getElementById('search'); s.value=''; s.dispatchEvent(new Event('input')); location.hash='';"
                       "window.scrollTo(0,0)")
            browser.screenshot(os.path.join(a.docs, "report.png"), 1200, 2600)
    finally:
        if browser:
            browser.close()
        if sim_line:
            sim_line.stop()
        if demo:
            try:
                demo.stdin.close()
                demo.wait(timeout=10)
            except Exception:
                demo.kill()
        driver.terminate()
        try:
            driver.wait(timeout=10)
        except subprocess.TimeoutExpired:
            driver.kill()
        shutil.rmtree(work, ignore_errors=True)
    print("browser test took %.1f s" % (time.time() - started))
    if failures:
        print("%d failed: %s" % (len(failures), "; ".join(failures)))
        return 1
    return 0


def start_real_line(a, work):
    """qrx-run --web on two simulated stations running the UFI line, two units each: station 2's
    barcode comes from --serial, station 1 asks the page. The page lingers after the line until the test ends it."""
    shutil.copytree(a.station, os.path.join(work, "st"))
    env = dict(os.environ, QRX_SIM_STATE_DIR=os.path.join(work, "state"), QRX_SIM_DOWNLOAD_MS="1500")
    env.pop("QRX_WEB_TOKEN", None)
    return Run([a.run, "--station", os.path.join(work, "st"), "--no-terminal", "--web", "127.0.0.1:0",
                "--web-linger", "60", "--stations", "2", "--units", "2", "--serial", "2=BRD{station}000000",
                os.path.join(a.examples, "ufi_line.seq")], env)


def real_line(browser, line, docs):
    url = line.url()
    if not check(bool(url), "qrx-run --web printed its page's URL"):
        return
    browser.go(url)
    browser.wait("return document.querySelectorAll('#tiles .tile').length === 2", "a tile per simulated station")

    # The tiles follow the stations: the download bars move and the steps change, until station 1 asks.
    # Station 2, answered by --serial, either waits to ask (one barcode prompt at a time in the whole
    # line) or has already ended, when it asked first.
    seen_steps = {1: set(), 2: set()}
    seen_bar = {1: set(), 2: set()}
    end = time.time() + 15
    asking = False
    def reached(n):
        return any("ReadBarcode_Ufi" in s or s == "ended" for s in seen_steps[n])
    while time.time() < end and not (asking and reached(1) and reached(2)):
        asking = browser.js("return !!document.querySelector('#station-1 input.sn')")
        for n in (1, 2):
            s = browser.js("var t=document.getElementById('station-' + arguments[0]);"
                           "return [t.querySelector('.stepname').textContent, t.querySelector('progress').value,"
                           "t.querySelector('.download').style.display, t.dataset.state];", n)
            seen_steps[n].add(s[3] if s[3] == "ended" else s[0])
            if s[2] != "none" and 0 < s[1] < 100:
                seen_bar[n].add(s[1])
        time.sleep(0.03)
    for n in (1, 2):
        check(any("@wait-download" in s for s in seen_steps[n]) and reached(n),
              "station %d's tile followed its steps (%s)" % (n, sorted(seen_steps[n])))
        check(len(seen_bar[n]) >= 2, "station %d's download bar moved (%s)" % (n, sorted(seen_bar[n])))

    # The barcode prompt of the simulated station: OK follows the library's pattern as the test types.
    if not browser.wait("return !!document.querySelector('#station-1 input.sn')", "station 1 asks for its barcode", 15):
        return
    check(browser.js("return document.querySelector('#station-1 .pattern').textContent") == "^[0-9A-Za-z]{10}$",
          "the prompt shows the station's pattern")
    check(browser.js("return document.activeElement === document.querySelector('#station-1 input.sn')"),
          "the asking field has the focus")
    field = browser.element("#station-1 input.sn")
    typed = "QRX2026108"
    # An underscore is outside the pattern.
    type_and_judge(browser, field, [("QRX20261", "QRX20261", "disabled"), ("_", "QRX20261_", "disabled"),
                                    ("\ue003", "QRX20261", None), ("08", typed, "enabled")])
    check(not line.saw(r"ReadBarcode_Ufi.*-> 0") or line.saw(r"\[S2\].*ReadBarcode_Ufi.*-> 0") and
          not line.saw(r"\[S1\].*ReadBarcode_Ufi.*-> 0"), "station 1 waits for the page")
    browser.type(field, "\ue007")  # Enter, as a barcode scanner sends it
    check(wait_for(lambda: line.saw(r'^\[S1\] ok .*ReadBarcode_Ufi\(out, 10\)  -> 0  out="%s"' % typed), 10),
          "the typed barcode reached the simulated station")
    # The next unit asks with an empty, focused field under the last unit's serial number and verdict.
    check(bool(browser.wait("var i=document.querySelector('#station-1 input.sn');"
                            "return i && i.value === '' && document.activeElement === i &&"
                            "document.querySelector('#station-1 .lastserial').textContent === arguments[0] &&"
                            "/PASS/i.test(document.querySelector('#station-1 .verdict').textContent)",
                            "station 1's tile shows the typed serial number and PASS", 15, typed)),
          "the tile shows the unit's verdict and serial number, and the field cleared for the next unit")
    second = "QRX2026109"
    field = browser.element("#station-1 input.sn")
    type_and_judge(browser, field, [(second, second, "enabled")])  # as a scanner types it
    if docs:
        browser.screenshot(os.path.join(docs, "line-page.png"), 1280, 900)
    browser.type(field, "\ue007")
    check(wait_for(lambda: line.saw(r"^RESULT: PASS$"), 20), "the line passes")
    check(bool(browser.wait("return document.querySelector('#station-1 .lastserial').textContent === arguments[0] &&"
                            "!document.querySelector('#station-1 input.sn')",
                            "station 1's tile shows the second serial number", 10, second)),
          "the prompt is gone after the last unit")
    check(browser.js("return document.querySelector('#station-2 .lastserial').textContent") == "BRD2000000",
          "station 2's tile shows the serial number --serial gave")
    rc = line.terminate()
    check(rc == 0, "qrx-run ended with the line's verdict when told to stop (exit %s)" % rc)


def _ready(driver_url):
    try:
        status, body = http("GET", driver_url + "/status", timeout=2)
        return status == 200 and json.loads(body)["value"].get("ready")
    except Exception:
        return False


if __name__ == "__main__":
    sys.exit(main())
