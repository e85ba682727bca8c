#!/usr/bin/env python3
"""The live page and the report in a real headless Chromium, driven through chromedriver's
WebDriver HTTP API: tiles follow a running demo line, the prompt's OK follows the pattern as the
test types, a typed serial number reaches the station, markup from stations
stays text, and the report's search finds units offline. What the page's server and qrx-run --web
do over HTTP is test_web's and web_qrx_run's; this test keeps what only a browser shows.
Exits 77 (skipped) when chromium or chromedriver is not installed."""
import argparse, base64, json, os, shutil, socket, subprocess, sys, tempfile, threading, time

from qrx_run_web_test import check, failures, http, wait_for

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


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--demo", required=True)
    ap.add_argument("--report", required=True)
    ap.add_argument("--docs", help="write the screenshots here")
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
        browser.wait("return Number(document.getElementById('units').textContent) >= 2", "the line's unit counter counts")

        # Markup from a station is text: the serial number and item name show as typed, nothing runs.
        browser.wait("var t=document.getElementById('station-2');"
                     "var s=t.querySelector('.lastserial')||t.querySelector('.serial');"
                     "return s && s.textContent.indexOf(\"<script>document.title='pwned'</script>\")===0"
                     "&& t.querySelector('.items td').parentNode.parentNode.textContent.indexOf('<img src=x')>=0",
                     "a serial number <script>... and an item name <img ...> show as text")
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
        if a.docs:
            browser.screenshot(os.path.join(a.docs, "line-page.png"), 1280, 900)
        browser.type(field, "\ue007")  # Enter, as a barcode scanner sends it
        answer = "answer station=1 serial=" + typed
        check(wait_for(lambda: answer in lines, 5), "the typed serial number reached the station")

        # The next unit asks with an empty, focused field under the typed serial number.
        browser.wait("var i=document.querySelector('#station-1 input.sn');"
                     "return i && i.value === '' && document.activeElement === i && "
                     "document.querySelector('#station-1 .lastserial').textContent === arguments[0]",
                     "the next unit asks with an empty, focused field", 10, typed)
        report_href = browser.js("return document.getElementById('report').href")
        status, body = http("GET", report_href)
        check(status == 200 and b"Demo line report" in body and typed.encode() in body,
              "the page links to a report of the units it has seen")

        # ---- a report of a few hundred units ----
        units_file = os.path.join(work, "units.jsonl")
        report_file = os.path.join(work, "report.html")
        subprocess.run([a.demo, "--generate", "300", "--seed", "7", "-o", units_file], check=True)
        subprocess.run([a.report, "--db", units_file, "-o", report_file, "--title", "Final test, line 1"], check=True)
        browser.go("file://" + report_file)
        browser.wait("return document.readyState === 'complete'", "the report loads")

        # A unit found by its serial number, offline.
        retested = browser.js("return document.querySelector('tr.retest').dataset.serial")
        search = browser.element("#search")
        browser.type(search, retested)
        check(browser.js("return document.getElementById('found').textContent") == "2 found",
              "the search finds both tests of a retested unit")
        browser.js("var s=document.getElementById('search'); s.value=''; s.dispatchEvent(new Event('input'));")
        one = browser.js("return [...document.querySelectorAll('tr[data-unit]')].map(r => r.dataset.serial)"
                         ".find(s => s && s !== arguments[0])", retested)
        browser.type(search, one + "\ue007")
        browser.wait("var d=document.getElementById(location.hash.slice(1));"
                     "return d && d.tagName==='DETAILS' && d.open && d.querySelector('summary').textContent.indexOf(arguments[0])===0",
                     "Enter opens the record of a unit found by its serial number", 5, one)
        if a.docs:
            browser.js("var s=document.getElementById('search'); s.value=''; s.dispatchEvent(new Event('input')); location.hash='';"
                       "window.scrollTo(0,0)")
            browser.screenshot(os.path.join(a.docs, "report.png"), 1200, 2600)
    finally:
        if browser:
            browser.close()
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


def _ready(driver_url):
    try:
        status, body = http("GET", driver_url + "/status", timeout=2)
        return status == 200 and json.loads(body)["value"].get("ready")
    except Exception:
        return False


if __name__ == "__main__":
    sys.exit(main())
