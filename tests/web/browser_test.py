#!/usr/bin/env python3
"""The live page and the report in a real headless Chromium, driven through chromedriver by
Selenium: tiles follow a running demo line, the prompt's OK follows the pattern as the
test types, a typed serial number reaches the station, markup from stations
stays text, and the report's search finds units offline. What the page's server and qrx-run --web
do over HTTP is test_web's and web_qrx_run's; this test keeps what only a browser shows.
Exits 77 (skipped) when chromium, chromedriver or Selenium is not installed."""
import argparse, os, shutil, subprocess, sys, tempfile, threading, time

try:
    from selenium import webdriver
    from selenium.common.exceptions import JavascriptException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError:
    webdriver = None

from qrx_run_web_test import check, failures, http, wait_for

# Station 1's OK button once the server has judged the text given: 'enabled', 'disabled' or null.
OK_STATE = ("var i=document.querySelector('#station-1 input.sn'), b=document.querySelector('#station-1 button.ok');"
            "return i.dataset.checked === arguments[0] ? (b.disabled ? 'disabled' : 'enabled') : null;")


def wait(browser, script, what, timeout=10.0, *args):
    """The script's first true answer within timeout; a script error counts as not yet."""
    def answer():
        try:
            return browser.execute_script(script, *args)
        except JavascriptException:  # the element is not there yet
            return None
    value = wait_for(answer, timeout)
    check(bool(value), what + " (timed out, last %r)" % (value,))
    return value


def screenshot(browser, path, width, height):
    browser.set_window_size(width, height)
    time.sleep(0.3)
    browser.get_screenshot_as_file(path + ".tmp.png")
    os.replace(path + ".tmp.png", path)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--demo", required=True)
    ap.add_argument("--report", required=True)
    ap.add_argument("--docs", help="write the screenshots here")
    a = ap.parse_args()
    if not shutil.which("chromium") or not shutil.which("chromedriver") or not webdriver:
        print("chromium, chromedriver or selenium not installed: skipped")
        return 77
    started = time.time()
    work = tempfile.mkdtemp(prefix="qrx-browser-")
    demo = None
    browser = None
    try:
        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium")
        for arg in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                    "--disable-background-networking", "--disable-component-update", "--disable-sync",
                    "--disable-dev-shm-usage", "--user-data-dir=" + os.path.join(work, "profile"),
                    "--window-size=1280,900"]:
            options.add_argument(arg)
        browser = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)

        # ---- the live page over a running demo line ----
        pattern = "^[0-9A-Za-z]{10}$"
        demo = subprocess.Popen([a.demo, "--stations", "4", "--step-ms", "120", "--ask", "1", "--inject", "2",
                                 "--pattern", pattern, "--seed", "5"],
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        lines = []
        url = demo.stdout.readline().split()[1]
        threading.Thread(target=lambda: [lines.append(l.strip()) for l in demo.stdout], daemon=True).start()
        browser.get(url)
        wait(browser, "return document.querySelectorAll('#tiles .tile').length === 4", "a tile per station")

        # Tiles follow the stations: station 3's step changes, its download bar moves, verdicts come.
        seen_steps, seen_bar = set(), set()
        end = time.time() + 8
        while time.time() < end and (len(seen_steps) < 4 or not seen_bar):
            s = browser.execute_script("var t=document.getElementById('station-3');"
                           "return [t.querySelector('.stepname').textContent, t.querySelector('progress').value,"
                           "t.querySelector('.download').style.display];")
            seen_steps.add(s[0])
            if s[2] != "none" and 0 < s[1] < 100:
                seen_bar.add(s[1])
            time.sleep(0.03)
        check(len(seen_steps) >= 4, "station 3's tile followed its steps (%d seen)" % len(seen_steps))
        check(bool(seen_bar), "station 3's download bar moved (%s)" % sorted(seen_bar))
        wait(browser, "return /^S3U\\d+$/.test(document.querySelector('#station-3 .lastserial').textContent)"
                     "&& /PASS|FAIL/.test(document.querySelector('#station-3 .verdict').textContent)",
                     "station 3 shows its last unit's serial number and verdict")
        wait(browser, "return Number(document.getElementById('units').textContent) >= 2", "the line's unit counter counts")

        # Markup from a station is text: the serial number and item name show as typed, nothing runs.
        wait(browser, "var t=document.getElementById('station-2');"
                     "var s=t.querySelector('.lastserial')||t.querySelector('.serial');"
                     "return s && s.textContent.indexOf(\"<script>document.title='pwned'</script>\")===0"
                     "&& t.querySelector('.items td').parentNode.parentNode.textContent.indexOf('<img src=x')>=0",
                     "a serial number <script>... and an item name <img ...> show as text")
        check(browser.execute_script("return document.title") == "Demo line", "the injected script did not run")
        check(browser.execute_script("return document.querySelectorAll('#tiles script, #tiles img').length") == 0,
              "no element made from station data")

        # The prompt: focus moves to the asking field; OK follows the pattern as the test types.
        wait(browser, "return !!document.querySelector('#station-1 input.sn')", "station 1 asks for a serial number")
        check(browser.execute_script("return document.activeElement === document.querySelector('#station-1 input.sn')"),
              "the asking field has the focus")
        field = browser.find_element(By.CSS_SELECTOR, "#station-1 input.sn")
        typed = "Ab3De6Gh9J"
        # Ten characters of the class enable OK once the server judged the text; an eleventh or one
        # outside the class (then deleted with backspace) disables it again.
        for keys, text, state in [("A", "A", "disabled"), ("b3De6Gh9", "Ab3De6Gh9", "disabled"),
                                  ("J", typed, "enabled"), ("K", typed + "K", "disabled"), ("\ue003", typed, "enabled"),
                                  ("-", typed + "-", "disabled"), ("\ue003", typed, "enabled")]:
            field.send_keys(keys)
            check(wait(browser, OK_STATE, "the server judged %r" % text, 5, text) == state, "OK %s with %r" % (state, text))
        if a.docs:
            screenshot(browser, os.path.join(a.docs, "line-page.png"), 1280, 900)
        field.send_keys("\ue007")  # Enter, as a barcode scanner sends it
        answer = "answer station=1 serial=" + typed
        check(wait_for(lambda: answer in lines, 5), "the typed serial number reached the station")

        # The next unit asks with an empty, focused field under the typed serial number.
        wait(browser, "var i=document.querySelector('#station-1 input.sn');"
                     "return i && i.value === '' && document.activeElement === i && "
                     "document.querySelector('#station-1 .lastserial').textContent === arguments[0]",
                     "the next unit asks with an empty, focused field", 10, typed)
        report_href = browser.execute_script("return document.getElementById('report').href")
        status, body = http("GET", report_href)
        check(status == 200 and b"Demo line report" in body and typed.encode() in body,
              "the page links to a report of the units it has seen")

        # ---- a report of a few hundred units ----
        units_file = os.path.join(work, "units.jsonl")
        report_file = os.path.join(work, "report.html")
        subprocess.run([a.demo, "--generate", "300", "--seed", "7", "-o", units_file], check=True)
        subprocess.run([a.report, "--db", units_file, "-o", report_file, "--title", "Final test, line 1"], check=True)
        browser.get("file://" + report_file)
        wait(browser, "return document.readyState === 'complete'", "the report loads")

        # A unit found by its serial number, offline.
        retested = browser.execute_script("return document.querySelector('tr.retest').dataset.serial")
        search = browser.find_element(By.CSS_SELECTOR, "#search")
        search.send_keys(retested)
        check(browser.execute_script("return document.getElementById('found').textContent") == "2 found",
              "the search finds both tests of a retested unit")
        browser.execute_script("var s=document.getElementById('search'); s.value=''; s.dispatchEvent(new Event('input'));")
        one = browser.execute_script("return [...document.querySelectorAll('tr[data-unit]')].map(r => r.dataset.serial)"
                         ".find(s => s && s !== arguments[0])", retested)
        search.send_keys(one + "\ue007")
        wait(browser, "var d=document.getElementById(location.hash.slice(1));"
                     "return d && d.tagName==='DETAILS' && d.open && d.querySelector('summary').textContent.indexOf(arguments[0])===0",
                     "Enter opens the record of a unit found by its serial number", 5, one)
        if a.docs:
            browser.execute_script("var s=document.getElementById('search'); s.value=''; s.dispatchEvent(new Event('input')); location.hash='';"
                       "window.scrollTo(0,0)")
            screenshot(browser, os.path.join(a.docs, "report.png"), 1200, 2600)
    finally:
        if browser:
            browser.quit()
        if demo:
            try:
                demo.stdin.close()
                demo.wait(timeout=10)
            except Exception:
                demo.kill()
        shutil.rmtree(work, ignore_errors=True)
    print("browser test took %.1f s" % (time.time() - started))
    if failures:
        print("%d failed: %s" % (len(failures), "; ".join(failures)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
