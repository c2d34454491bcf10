#!/usr/bin/env python3
"""The game in headless Chromium, the way a visitor of the hiscore server meets it, in one scenario.

A shipped level's proof, lost at the end, is entered under a name that would be markup; its watch
page (2x zoom) plays it to the same points and end state as blubbi-sim --verify, at 4x, and again
after seeking back and forth; its picture is sharp. /play walks, jumps and spits on keys; a game
lost there is entered and listed as checked, and its replay passes blubbi-sim --verify. A server
without the browser's files says so. Chromium is driven over its DevTools pipe: nothing to install.
Prints the speed figures. Usage: browser_game.py BUILD CHROMIUM PROOF_SCRIPT"""
import base64, json, os, re, select, subprocess, sys, tempfile, time, urllib.error, urllib.request

build, chromium, proof = (sys.argv[1:4] + [None] * 3)[:3]
work = tempfile.mkdtemp(prefix="blubbi-web.")
procs = []
figures = {}


def fail(what):
    print("browser_game:", what)
    sys.exit(1)


def sim(*args):
    return subprocess.run([f"{build}/blubbi-sim", "--data", build, *args], capture_output=True, text=True)


LOOPBACK = "127.0.0.1"


def server(*args):
    p = subprocess.Popen([f"{build}/blubbi-hiscore", "--listen", f"{LOOPBACK}:0", "--db", f"sqlite:{work}/s{len(procs)}.sqlite",
                          "--data", build, "--submissions-per-minute", "0", *args],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    procs.append(p)
    m = re.search(r"listening on \S+:(\d+)/", p.stdout.readline())
    if not m:
        fail("the server did not start")
    return f"http://{LOOPBACK}:{m.group(1)}"


def get(url, headers=None):
    request = urllib.request.Request(url, headers=headers or {})
    with urllib.request.build_opener(urllib.request.ProxyHandler({})).open(request) as answer:
        return answer.status, dict(answer.headers), answer.read()


def submit(url, name, points, replay):
    boundary = "blubbiboundary"
    body = b""
    for key, value in (("name", name.encode()), ("punkte", str(points).encode()), ("replay", replay.encode())):
        body += f'--{boundary}\r\nContent-Disposition: form-data; name="{key}"\r\n\r\n'.encode() + value + b"\r\n"
    body += f"--{boundary}--\r\n".encode()
    request = urllib.request.Request(url + "/api/scores", data=body,
                                     headers={"Content-Type": f"multipart/form-data; boundary={boundary}"})
    try:
        with urllib.request.build_opener(urllib.request.ProxyHandler({})).open(request) as answer:
            return json.loads(answer.read())
    except urllib.error.HTTPError as refused:
        return json.loads(refused.read())


class Browser:
    """Chromium over --remote-debugging-pipe: messages of JSON ended by a NUL, on fds 3 and 4."""

    def __init__(self):
        to_chrome, self.out = os.pipe()
        self.inp, from_chrome = os.pipe()

        def fds():
            a, b = os.dup(to_chrome), os.dup(from_chrome)
            os.dup2(a, 3)
            os.dup2(b, 4)

        self.proc = subprocess.Popen(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--no-proxy-server",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
             f"--user-data-dir={work}/profile", "--remote-debugging-pipe", "about:blank"],
            pass_fds=(3, 4), preexec_fn=fds, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(self.proc)
        os.close(to_chrome)
        os.close(from_chrome)
        self.next, self.buffer, self.session, self.events = 0, b"", None, []
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.call("Page.enable")
        self.call("Runtime.enable")
        self.call("Emulation.setDeviceMetricsOverride", width=1500, height=1100, deviceScaleFactor=1, mobile=False)

    def call(self, method, **params):
        self.next += 1
        message = {"id": self.next, "method": method, "params": params}
        if self.session and not method.startswith("Target."):
            message["sessionId"] = self.session
        os.write(self.out, json.dumps(message).encode() + b"\0")
        deadline = time.time() + 60
        while True:
            while b"\0" not in self.buffer:
                if not select.select([self.inp], [], [], max(0, deadline - time.time()))[0]:
                    fail(f"no answer to {method}")
                read = os.read(self.inp, 1 << 20)
                if not read:
                    fail("Chromium went away")
                self.buffer += read
            raw, self.buffer = self.buffer.split(b"\0", 1)
            answer = json.loads(raw)
            if answer.get("id") == self.next:
                if "error" in answer:
                    fail(f"{method}: {answer['error']}")
                return answer.get("result", {})
            self.events.append(answer)

    def js(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, awaitPromise=True, returnByValue=True)
        if "exceptionDetails" in result:
            fail(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def open(self, url):
        self.call("Page.navigate", url=url)
        self.until("document.body && document.body.dataset.ready === '1'", f"{url} ready")

    def until(self, expression, what, seconds=60):
        if os.environ.get("BLUBBI_WEB_TRACE"):
            print("browser_game: waiting for", what, file=sys.stderr, flush=True)
        deadline = time.time() + seconds
        while time.time() < deadline:
            if self.js(expression):
                return
            time.sleep(0.05)
        errors = [e["params"] for e in self.events if e.get("method") in ("Runtime.exceptionThrown", "Runtime.consoleAPICalled")]
        fail(f"waited in vain for {what}: {self.js('document.body.innerText')} {errors}")

    def key(self, name, code, down):
        self.call("Input.dispatchKeyEvent", type="keyDown" if down else "keyUp", key=name, code=name if name != " " else "Space",
                  windowsVirtualKeyCode=code)

    def state(self):
        return json.loads(self.js("document.body.dataset.state || '{}'"))



def stop():
    for p in procs:
        p.kill()
        p.wait()
    subprocess.run(["rm", "-rf", work])


def scenario():
    try:
        # A shipped level's proof, and then walking into the next level's enemies until the game is over.
        with open(proof) as f:
            script = f.read() + "\ndown right\ntick 6000\n"
        with open(f"{work}/game.script", "w") as f:
            f.write(script)
        if sim("--record", f"{work}/game.blubbi-replay", f"{work}/game.script").returncode != 0:
            fail("blubbi-sim could not record the game")
        started = time.time()
        checked = sim("--verify", f"{work}/game.blubbi-replay")
        native_seconds = time.time() - started
        verdict = json.loads(checked.stdout)
        if verdict["status"] != "ok" or not verdict["EndedInGameOver"]:
            fail(f"the recorded game: {checked.stdout}")
        with open(f"{work}/game.blubbi-replay") as f:
            replay = f.read()
        end_hash = re.search(r"^end \d+ ([0-9a-f]+)$", replay, re.M).group(1)

        url = server("--web", f"{build}/web")
        name = '<b id="x">Blubb</b> &amp; <i>'
        points = int(verdict["GameOverPoints"])
        entry = submit(url, name, points, replay)
        if not entry.get("verified"):
            fail(f"the proof was not entered: {entry}")
        status, _, page = get(url + "/")
        if f'href="/watch/{entry["id"]}">Ansehen</a>'.encode() not in page:
            fail("no Ansehen link on the list")

        # The files: their types, kept for good, packed where asked, nothing from elsewhere.
        status, _, html = get(url + "/play")
        names = re.findall(r'/web/([A-Za-z0-9._-]+)', html.decode())
        status, _, html = get(f"{url}/watch/{entry['id']}")
        names += re.findall(r'/web/([A-Za-z0-9._-]+)', html.decode())
        if re.search(r'(src|href)="(https?:)?//', html.decode()):
            fail("the watch page loads from another address")
        transfer = 0
        for file in sorted(set(names)):
            status, headers, body = get(f"{url}/web/{file}", {"Accept-Encoding": "gzip, deflate"})
            transfer += len(body)
            want = {"js": "text/javascript", "wasm": "application/wasm", "css": "text/css", "data": "application/octet-stream",
                    "wav": "audio/wav", "ogg": "audio/ogg", "gif": "image/gif"}
            if not headers["Content-Type"].startswith(want[file.rsplit(".", 1)[1]]) or "immutable" not in headers["Cache-Control"]:
                fail(f"{file}: {headers}")
            if file.endswith(".wasm") and headers.get("Content-Encoding") != "gzip":
                fail("the wasm is not packed for a client that takes gzip")
        figures["transfer_kb"] = round(transfer / 1024)
        plain = server("--web", f"{work}/none")
        for page in ("/play", "/watch/1"):
            if "ohne die Browser-Fassung" not in get(plain + page)[2].decode():
                fail(f"a server without the browser's files does not say so on {page}")

        b = Browser()
        started = time.time()
        b.open(f"{url}/watch/{entry['id']}?zoom=2")
        figures["first_frame_ms"] = round((time.time() - started) * 1000)
        if b.js("document.getElementById('name').textContent") != name or b.js("document.getElementById('name').children.length") != 0 \
                or b.js("document.querySelector('#x, #name i, title b') !== null"):
            fail("the name is markup on the watch page")
        # 4x, to the end: the points and the state the native check found.
        b.js("document.querySelector('[data-speed=\"4\"]').click()")
        b.until("document.body.dataset.frame > 120", "the replay to run")
        shot = b.call("Page.captureScreenshot", format="png",
                      clip=dict(b.js("(() => { const r = document.getElementById('game').getBoundingClientRect();"
                                     " return {x: r.x, y: r.y, width: r.width, height: r.height, scale: 1}; })()")))
        with open(f"{work}/shot.png", "wb") as f:
            f.write(base64.b64decode(shot["data"]))
        pixels = subprocess.run(["convert", f"{work}/shot.png", "-depth", "8", "rgb:-"], capture_output=True).stdout
        width, height = 681 * 2, 425 * 2
        if len(pixels) != width * height * 3:
            fail(f"the canvas is not 2 x 681 x 425 ({len(pixels)} bytes)")
        rows = [pixels[y * width * 3:(y + 1) * width * 3] for y in range(height)]
        blurred = sum(1 for y in range(0, height, 2) for x in range(0, width * 3, 6)
                      if not (rows[y][x:x + 3] == rows[y][x + 3:x + 6] == rows[y + 1][x:x + 3] == rows[y + 1][x + 3:x + 6]))
        if blurred > 0 or len(set(rows[height // 2][i:i + 3] for i in range(0, width * 3, 3))) < 4:
            fail(f"the 2x picture is not sharp ({blurred} blocks of 2 x 2 that are not one colour) or blank")

        def ends_as_checked(what):
            b.until("document.body.dataset.result", f"the end ({what})", 120)
            found = (b.js("document.body.dataset.result"), int(b.js("document.body.dataset.points")), b.js("document.body.dataset.hash"))
            if found != ("match", points, end_hash):
                fail(f"{what}: the page ends with {found}, blubbi-sim with {points} {end_hash}")

        ends_as_checked("at 4x")
        frames = int(b.js("document.getElementById('position').max"))

        def seek(frame):
            b.js(f"(() => {{ const bar = document.getElementById('position'); bar.value = {frame};"
                 " bar.dispatchEvent(new Event('input')); })()")
            return int(b.js("document.body.dataset.seekMs"))

        b.js("document.getElementById('pause').click()")
        seek(frames // 2)
        seek(frames // 4)
        b.js("delete document.body.dataset.result")
        if int(b.js("document.body.dataset.frame")) != frames // 4:
            fail("seeking back does not land on its frame")
        ms = seek(frames)
        figures["page_check_frames_per_s"] = round(frames / max(ms, 1) * 1000)
        figures["native_check_frames_per_s"] = round(frames / native_seconds)
        ends_as_checked("after seeking back and forth")

        # Playing: the keys walk, jump and spit; a lost game is entered, checked and listed.
        b.open(f"{url}/play")
        b.until("JSON.parse(document.body.dataset.state || '{}').waiting", "the new game to wait for a key")
        before = b.state()
        b.key("ArrowLeft", 37, True)
        b.until(f"JSON.parse(document.body.dataset.state).x < {before['x'] - 10}", "walking left")
        b.until("window.bbAudio.state === 'running' && document.body.dataset.tune === 'on'", "the tune after the first key")
        b.key("ArrowLeft", 37, False)
        standing = b.state()
        b.key("ArrowUp", 38, True)
        b.until(f"JSON.parse(document.body.dataset.state).y < {standing['y'] - 10}", "a jump")
        b.key("ArrowUp", 38, False)
        b.key(" ", 32, True)
        b.until("JSON.parse(document.body.dataset.state).bubbles > 0", "a bubble")
        b.key(" ", 32, False)
        b.key("ArrowRight", 39, True)
        b.until("!document.getElementById('entry').hidden", "the game over", 120)
        b.key("ArrowRight", 39, False)
        b.js("document.getElementById('name').value = 'Tester im Browser'")
        b.js("document.getElementById('send').click()")
        b.until("document.body.dataset.submitted", "the answer to the entry")
        if b.js("document.body.dataset.submitted") != "201":
            fail("the browser's game was not entered: " + b.js("document.getElementById('answer').textContent"))
        played = b.js("document.body.dataset.entry")
        listed = json.loads(get(url + "/api/scores")[2])["scores"]
        mine = [s for s in listed if str(s["id"]) == played]
        if not mine or not mine[0]["verified"] or not mine[0]["ranked"]:
            fail(f"the browser's game is not listed as checked: {listed}")
        with open(f"{work}/browser.blubbi-replay", "wb") as f:
            f.write(get(f"{url}/replays/{played}.blubbi-replay")[2])
        again = sim("--verify", f"{work}/browser.blubbi-replay")
        checked = json.loads(again.stdout) if again.returncode == 0 else {}
        if checked.get("AtGameOver", {}).get("LevelNo") != mine[0]["level"]:
            fail(f"the list shows another level than the game was lost on: {mine[0]} {again.stdout}")
        if again.returncode != 0 or int(json.loads(again.stdout)["GameOverPoints"]) != mine[0]["points"]:
            fail(f"blubbi-sim does not confirm the browser's replay: {again.stdout} {again.stderr}")
        # "Continue" after the entry: the lost level again, with three lives.
        b.js("document.getElementById('continue').click()")
        b.until("document.getElementById('entry').hidden && JSON.parse(document.body.dataset.state).lives === 3",
                "the game continued after its game over")
        thrown = [e["params"] for e in b.events if e.get("method") == "Runtime.exceptionThrown"]
        if thrown:
            fail(f"the pages threw: {thrown}")
        print("browser_game: ok;", " ".join(f"{k}={v}" for k, v in figures.items()))
    finally:
        stop()


if __name__ == "__main__":
    scenario()
