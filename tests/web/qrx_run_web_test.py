#!/usr/bin/env python3
"""qrx-run --web on the simulated station, over HTTP without a browser (its address and token
mistakes are run_errors_test.sh's): a prompt answered through the page reaching the station and
its unit record, the page's URL carrying the token, the page lingering only when asked and
stopping on SIGTERM, and a run without --web-linger ending on its own."""
import json, os, re, shutil, subprocess, sys, tempfile, threading, time, urllib.error, urllib.request

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def http(method, url, body=None, headers=None, timeout=30):
    data = json.dumps(body).encode() if body is not None else None
    h = dict(headers or {})
    if data:
        h["Content-Type"] = "application/json"
    req = urllib.request.Request(url, data=data, method=method, headers=h)
    try:
        with urllib.request.urlopen(req, timeout=timeout) as r:
            return r.status, r.read()
    except urllib.error.HTTPError as e:
        return e.code, e.read()


def wait_for(predicate, timeout):
    end = time.time() + timeout
    while time.time() < end:
        v = predicate()
        if v:
            return v
        time.sleep(0.05)
    return predicate()


class Run(subprocess.Popen):
    """qrx-run in the background; its output lines collected as they come."""

    def __init__(self, args, env):
        super().__init__(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, env=env)
        self.lines = []
        threading.Thread(target=lambda: [self.lines.append(l.rstrip("\n")) for l in self.stdout], daemon=True).start()

    def saw(self, pattern):
        return next((m for m in map(re.compile(pattern).search, self.lines) if m), None)


def main():
    run, station, examples = sys.argv[1:4]
    work = tempfile.mkdtemp(prefix="qrx-run-web-")
    shutil.copytree(station, os.path.join(work, "st"))
    env = dict(os.environ, QRX_SIM_STATE_DIR=os.path.join(work, "state"), QRX_SIM_DOWNLOAD_MS="300")
    env.pop("QRX_WEB_TOKEN", None)
    base = [run, "--station", os.path.join(work, "st"), "--no-terminal"]
    started = time.time()
    line = None
    try:
        # Without --web-linger the page ends with the line, after the units asked for: the run does not
        # wait for anyone. The token may come from the environment, which does not disturb runs without a page.
        tenv = dict(env, QRX_WEB_TOKEN="from-env")
        seq = os.path.join(examples, "calibration.seq")
        r = subprocess.run(base + ["--web", "127.0.0.1:0", "--units", "2", seq], capture_output=True, text=True, env=tenv, timeout=60)
        check(r.returncode == 0 and re.search(r"live page: http://127\.0\.0\.1:\d+/#token=from-env\n", r.stdout)
              and "RESULT: PASS" in r.stdout, "a run with --web ends on its own (exit %d)" % r.returncode)
        r = subprocess.run(base + [seq], capture_output=True, text=True, env=tenv, timeout=60)
        check(r.returncode == 0 and "live page" not in r.stdout, "QRX_WEB_TOKEN alone starts no page (exit %d)" % r.returncode)

        # Two stations; station 1 asks the page for its barcode, station 2 is answered by --serial.
        units = os.path.join(work, "units.jsonl")
        token = "s3cret-token"
        line = Run(base + ["--web", "127.0.0.1:0", "--web-token", token, "--web-linger", "60", "--stations", "2",
                           "--serial", "2=BRD{station}000000", "--json", units,
                           os.path.join(examples, "ufi_line.seq")], env)
        url = (wait_for(lambda: line.saw(r"^live page: (http://\S+)"), 20) or [None, None])[1]
        if not check(bool(url) and url.endswith("/#token=" + token), "the page's URL carries the token (%s)" % url):
            return 1
        root = url.split("#")[0]
        auth = {"X-QRX-Token": token}

        def state():
            status, body = http("GET", root + "api/state", headers=auth)
            return json.loads(body) if status == 200 else None
        def prompt():
            return next((t["prompt"] for t in (state() or {"stations": []})["stations"] if t["station"] == 1 and t["prompt"]), None)
        p = wait_for(prompt, 20)
        if not check(bool(p) and p["pattern"] == "^[0-9A-Za-z]{10}$", "station 1 asks in the page (%s)" % p):
            return 1
        page = dict(auth, **{"X-QRX-Request": "page"})
        ask = {"station": 1, "prompt": p["id"]}
        status, body = http("POST", root + "api/match", dict(ask, text="WEB12345"), headers=page)
        check(status == 200 and json.loads(body)["matches"] is False, "the library's pattern judges the page's text")
        status, body = http("POST", root + "api/answer", dict(ask, text="WEB1234567"), headers=page)
        check(status == 200 and json.loads(body)["accepted"], "the page's answer is accepted")
        check(wait_for(lambda: line.saw(r"^\[S1\] prompt .*: answered WEB1234567 \(page\)$"), 10),
              "the terminal output says the page answered")
        check(wait_for(lambda: line.saw(r"^\[S1\] ok .*ReadBarcode_Ufi\(out, 10\)  -> 0  out=\"WEB1234567\""), 10),
              "the typed barcode reached the station")
        check(wait_for(lambda: line.saw(r"^RESULT: PASS"), 30), "the line passes")

        s = wait_for(lambda: (lambda d: d if d and all(t["state"] == "ended" for t in d["stations"]) else None)(state()), 10)
        if check(bool(s), "both tiles end while the page lingers"):
            tiles = {t["station"]: t for t in s["stations"]}
            shown = [(t["lastSerial"], t["lastVerdict"], t["message"]) for t in (tiles[1], tiles[2])]
            check(shown == [("WEB1234567", "pass", "1 unit(s), 1 passed"), ("BRD2000000", "pass", "1 unit(s), 1 passed")],
                  "each tile shows its last unit's serial number, verdict and how the station ended (%s)" % shown)
            check(tiles[1]["download"]["state"] == "finished" and tiles[1]["download"]["percent"] == 100
                  and any(i["name"].endswith("WiFiTxPower") for i in tiles[1]["items"]),
                  "the tile's download finished at 100 % and it lists the unit's test items")
            check(s["figures"]["units"] == 2 and s["figures"]["firstPassYield"] == 1.0, "the line's counters")
        status, body = http("GET", root + "api/units", headers=auth)
        kept = [json.loads(l) for l in body.decode().splitlines() if l.strip()]
        with open(units, encoding="utf-8") as f:
            recorded = [json.loads(l) for l in f if l.strip()]
        check(sorted(u["serialNumber"] for u in recorded) == ["BRD2000000", "WEB1234567"]
              and sorted(u["unitId"] for u in kept) == sorted(u["unitId"] for u in recorded),
              "the unit records (--json) and the page's units are the same two units")
        t0 = time.time()
        line.terminate()  # as an operator's stop
        rc = line.wait(timeout=10)
        check(rc == 0 and time.time() - t0 < 5, "SIGTERM ends the lingering page at once (exit %s)" % rc)
    finally:
        if line:
            line.kill()
            line.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)
    print("qrx-run --web test took %.1f s" % (time.time() - started))
    if failures:
        print("%d failed: %s" % (len(failures), "; ".join(failures)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
