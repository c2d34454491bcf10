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
    packed = replay if isinstance(replay, bytes) else replay.encode()
    for key, value in (("name", name.encode()), ("punkte", str(points).encode()), ("replay", packed)):
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
        self.next, self.buffer, self.session, self.events, self.dialogs = 0, b"", None, [], []
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
            if answer.get("method") == "Page.javascriptDialogOpening":  # leaving a game asks first: yes
                self.dialogs.append(answer["params"]["type"])
                os.write(self.out, json.dumps({"id": 1000000 + len(self.dialogs), "method": "Page.handleJavaScriptDialog",
                                               "params": {"accept": True}, "sessionId": self.session}).encode() + b"\0")
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

    def window(self, width, height, dpr=1, touch=False):
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=dpr, mobile=touch)
        self.call("Emulation.setTouchEmulationEnabled", enabled=touch, maxTouchPoints=5 if touch else 1)

    def rect(self, selector):
        return self.js(f"(() => {{ const r = document.querySelector('{selector}').getBoundingClientRect();"
                       " return {left: r.left, top: r.top, right: r.right, bottom: r.bottom}; })()")

    def click(self, selector):
        r = self.rect(selector)
        x, y = (r["left"] + r["right"]) / 2, (r["top"] + r["bottom"]) / 2
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def touch(self, selector, down):
        r = self.rect(selector)
        points = [{"x": (r["left"] + r["right"]) / 2, "y": (r["top"] + r["bottom"]) / 2, "id": 1}]
        self.call("Input.dispatchTouchEvent", type="touchStart" if down else "touchEnd", touchPoints=points if down else [])


def fits(b, what):
    """The field wholly in the window, centred, at the largest whole number of device pixels a game
    pixel, with the notice on it; the touch controls, where shown, beside it."""
    g = b.js("(() => { const c = document.getElementById('game'), s = document.getElementById('stage').getBoundingClientRect(),"
             " r = c.getBoundingClientRect(), m = document.getElementById('message').getBoundingClientRect();"
             " return {w: c.width, h: c.height, dpr: devicePixelRatio, iw: innerWidth, ih: innerHeight, sw: s.width, sh: s.height,"
             " l: r.left, t: r.top, r: r.right, b: r.bottom, ml: m.left, mt: m.top, mr: m.right, mb: m.bottom,"
             " text: document.getElementById('message').textContent}; })()")
    zoom = (g["r"] - g["l"]) * g["dpr"] / g["w"]
    if abs(zoom - round(zoom)) > 0.01 or abs((g["b"] - g["t"]) * g["dpr"] / g["h"] - zoom) > 0.01 or round(zoom) < 1:
        fail(f"{what}: a game pixel is {zoom} device pixels: {g}")
    zoom = round(zoom)
    # Layout places in 64ths of a pixel: a device pixel's edge is within one of them.
    if abs(g["l"] * g["dpr"] - round(g["l"] * g["dpr"])) > g["dpr"] / 64 or abs(g["t"] * g["dpr"] - round(g["t"] * g["dpr"])) > g["dpr"] / 64:
        fail(f"{what}: the field does not begin on a device pixel: {g}")
    if g["l"] < 0 or g["t"] < 0 or g["r"] > g["iw"] + 0.01 or g["b"] > g["ih"] + 0.01:
        fail(f"{what}: the field is not wholly visible: {g}")
    if abs(g["l"] - (g["iw"] - g["r"])) > 1:
        fail(f"{what}: the field is not centred: {g}")
    if (zoom + 1) * g["w"] <= g["sw"] * g["dpr"] and (zoom + 1) * g["h"] <= g["sh"] * g["dpr"]:
        fail(f"{what}: the field would fit at {zoom + 1}: {g}")
    if not g["text"] or g["ml"] < g["l"] or g["mr"] > g["r"] or g["mt"] < g["t"] or g["mb"] > g["b"]:
        fail(f"{what}: the notice is not on the field: {g}")
    if b.js("document.body.classList.contains('touch')"):
        for button in b.js("[...document.querySelectorAll('#touch button')].map((e) => { const r = e.getBoundingClientRect();"
                           " return [r.left, r.top, r.right, r.bottom]; })"):
            if button[2] - button[0] < 40 or not (button[2] <= g["l"] or button[0] >= g["r"] or button[3] <= g["t"] or button[1] >= g["b"]):
                fail(f"{what}: a touch control {button} lies on the field {g} or is too small")
    return zoom



def runner_pictures(script, frames):
    """blubbi-sim's picture after each of `frames` frames of the script, as RGB bytes."""
    lines, done = [], 0
    for line in script.splitlines():
        words = line.split() or [""]
        for _ in range(int((words + ["1"])[1]) if words[0] == "tick" else 0):
            done += 1
            lines += ["tick"] + ([f"png {work}/runner-{done}.png"] if done in frames else [])
        lines += [] if words[0] == "tick" else [line]
    with open(f"{work}/runner.script", "w") as f:
        f.write("\n".join(lines) + "\n")
    if sim(f"{work}/runner.script").returncode != 0:
        fail("blubbi-sim did not draw the frames")
    return {f: subprocess.run(["convert", f"{work}/runner-{f}.png", "-depth", "8", "rgb:-"], capture_output=True).stdout
            for f in frames}


def masked(rgb, texts):
    """The picture without the status texts, which the page's canvas draws in its own font."""
    pixels = bytearray(rgb)
    for x, y, _, text in texts:
        for row in range(max(0, y - 2), min(425, y + 22)):
            left, right = max(0, x - 2), min(681, x + 12 * len(text) + 4)
            pixels[(row * 681 + left) * 3:(row * 681 + right) * 3] = bytes((right - left) * 3)
    return bytes(pixels)


PAGE_PICTURE = ("(() => { const g = window.bbGame, at = g._bb_screen(), px = g.HEAPU8.subarray(at, at + 681 * 425 * 4);"
                " const rgb = new Uint8Array(681 * 425 * 3); let s = '';"
                " for (let i = 0, j = 0; i < px.length; i += 4, j += 3) { rgb[j] = px[i]; rgb[j + 1] = px[i + 1]; rgb[j + 2] = px[i + 2]; }"
                " for (let i = 0; i < rgb.length; i += 0x8000) s += String.fromCharCode.apply(null, rgb.subarray(i, i + 0x8000));"
                " return {rgb: s && btoa(s), texts: JSON.parse(g.UTF8ToString(g._bb_texts())), frame: g._bb_watch_frame()}; })()")


def same_as_runner(b, runner, what):
    """The page's picture is the runner's but for the status texts and a bubble's outline, which the
    browser's own rasterizer may draw a pixel aside (a colour found within one pixel in the other)."""
    page = b.js(PAGE_PICTURE)
    mine, theirs = masked(base64.b64decode(page["rgb"]), page["texts"]), masked(runner[page["frame"]], page["texts"])
    near = lambda picture, i, colour: any(picture[i + 3 * (dy * 681 + dx):i + 3 * (dy * 681 + dx) + 3] == colour
                                          for dy in (-1, 0, 1) for dx in (-1, 0, 1))  # noqa: E731
    wrong = [(i // 3 % 681, i // 3 // 681) for i in range(0, len(mine), 3) if mine[i:i + 3] != theirs[i:i + 3]
             and not (near(theirs, i, mine[i:i + 3]) and near(mine, i, theirs[i:i + 3]))]
    if wrong:
        fail(f"{what}: frame {page['frame']} differs from blubbi-sim's in {len(wrong)} pixels, such as {wrong[:10]}")


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
                    "wav": "audio/wav", "ogg": "audio/ogg", "gif": "image/gif", "png": "image/png"}
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
            return float(b.js("document.body.dataset.seekMs"))

        b.js("document.getElementById('pause').click()")
        seek(frames // 2)
        seek(frames // 4)
        b.js("delete document.body.dataset.result")
        if int(b.js("document.body.dataset.frame")) != frames // 4:
            fail("seeking back does not land on its frame")
        ms = seek(frames)
        figures["seek_to_end_ms"] = ms
        figures["native_check_frames_per_s"] = round(frames / native_seconds)
        ends_as_checked("after seeking back and forth")

        # Across the level change at 4x, and seeks into its slide from behind and from ahead: the runner's picture.
        load = sum(int((line.split() + ["1"])[1]) for line in open(proof) if line.startswith("tick"))
        steps = [load - 40 + 4 * k for k in range(26)]
        direct = [load + 3, load + 21, load + 47, load - 5]
        runner = runner_pictures(script, set(steps + direct))
        seek(steps[0])
        for frame in steps[1:]:
            b.js("window.bbGame._bb_watch_step(4)")
            same_as_runner(b, runner, "at 4x")
        for frame in direct:
            seek(frames)
            seek(frame)
            same_as_runner(b, runner, "after a seek")

        # The watch page's keys, after a click on each of its controls; the address keeps the frame.
        b.click('[data-speed="2"]')
        b.key("4", 52, True)
        b.key("4", 52, False)
        if b.js("document.querySelector('[data-speed=\"4\"]').className") != "on":
            fail("the 4 key does not set the speed after a click on a speed button")
        for control in ("#pause", "#effects", "#position"):
            b.click(control)
            paused = b.js("document.getElementById('pause').textContent") == "Weiter"
            effects = b.js("document.getElementById('effects').checked")
            b.key(" ", 32, True)
            b.key(" ", 32, False)
            if (b.js("document.getElementById('pause').textContent") == "Weiter") == paused \
                    or b.js("document.getElementById('effects').checked") != effects:
                fail(f"space did not pause or resume the replay after a click on {control}")
        if b.js("document.getElementById('pause').textContent") != "Weiter":
            b.key(" ", 32, True)
            b.key(" ", 32, False)
        at = int(b.js("document.body.dataset.frame"))
        b.key("ArrowRight", 39, True)
        b.key("ArrowRight", 39, False)
        if int(b.js("document.body.dataset.frame")) != at + 1 or b.js("location.hash") != f"#f={at + 1}":
            fail(f"the right arrow in the pause does not step one frame to #f={at + 1}: {b.js('location.hash')}")
        b.open(f"{url}/watch/{entry['id']}#f={steps[3]}")
        if int(b.js("document.body.dataset.frame")) != steps[3]:
            fail("the address's frame is not where the watch page begins")
        same_as_runner(b, runner, "from the address")
        status, headers, html = get(f"{url}/embed/{entry['id']}")
        if 'class="embed"' not in html.decode() or f'/replays/{entry["id"]}.png"' not in get(f"{url}/watch/{entry['id']}")[2].decode():
            fail("no embeddable view or no link preview picture")
        try:
            get(f"{url}/watch/999999")
            fail("a missing entry is found")
        except urllib.error.HTTPError as missing:
            if missing.code != 404 or "gibt es hier nicht" not in missing.read().decode():
                fail("a missing entry is not a page of the site")
        if get(f"{url}/favicon.ico")[1]["Content-Type"] != "image/png":
            fail("no favicon")

        # The field fits every window, the notices on it: the first-key line, then "Pause".
        for width, height, dpr in ((1920, 969, 1), (1366, 657, 1), (1280, 577, 1.5)):
            b.window(width, height, dpr)
            b.open(f"{url}/play")
            b.until("JSON.parse(document.body.dataset.state || '{}').waiting", "the new game to wait for a key")
            figures[f"zoom_{width}x{height}"] = fits(b, f"{width}x{height} waiting")
            for _ in range(2):  # the first Esc ends the wait, the second pauses
                b.key("Escape", 27, True)
                b.key("Escape", 27, False)
                b.until("!JSON.parse(document.body.dataset.state).waiting", "Esc to end the wait")
                if b.state()["paused"]:
                    break
            b.until("JSON.parse(document.body.dataset.state).paused", "Esc to pause")
            fits(b, f"{width}x{height} paused")

        # Playing: the keys walk, jump and spit after a click on every control; a lost game is entered,
        # checked and listed.
        b.window(1366, 657)
        b.open(f"{url}/play")
        b.until("JSON.parse(document.body.dataset.state || '{}').waiting", "the new game to wait for a key")
        b.click("#effects")  # back on: the watch page's click above turned the effects off, remembered
        b.key(" ", 32, True)
        b.until("JSON.parse(document.body.dataset.state).bubbles > 0", "a bubble after a click on the sound box")
        b.key(" ", 32, False)
        if not b.js("document.getElementById('effects').checked"):
            fail("space worked the sound box")
        b.click("#full")
        before = b.state()
        b.key("ArrowLeft", 37, True)
        b.until(f"JSON.parse(document.body.dataset.state).x < {before['x'] - 10}", "walking left after the fullscreen button")
        b.until("window.bbAudio.state === 'running' && document.body.dataset.tune === 'on'", "the tune after the first key")
        b.key("ArrowLeft", 37, False)
        b.key("f", 70, True)
        b.key("f", 70, False)
        b.key("Escape", 27, True)
        b.key("Escape", 27, False)
        b.until("JSON.parse(document.body.dataset.state).paused", "Esc to pause")
        b.key("Escape", 27, True)
        b.key("Escape", 27, False)
        b.until("!JSON.parse(document.body.dataset.state).paused", "Esc to resume")
        standing = b.state()
        b.key("ArrowUp", 38, True)
        b.until(f"JSON.parse(document.body.dataset.state).y < {standing['y'] - 10}", "a jump")
        b.key("ArrowUp", 38, False)
        b.key(" ", 32, True)
        b.until("JSON.parse(document.body.dataset.state).bubbles > 0", "a bubble")
        b.key(" ", 32, False)
        b.until(f"JSON.parse(document.body.dataset.state).y == {standing['y']}", "the jump to land")
        b.js("window.south = 1; navigator.getGamepads = () => [{index: 0, connected: true, axes: [0, 0],"
             " buttons: Array.from({length: 17}, (_, i) => ({pressed: i === 0 && window.south === 1}))}]")
        b.until(f"JSON.parse(document.body.dataset.state).y < {standing['y'] - 10}", "a jump on a gamepad's south button")
        b.js("window.south = 0")
        b.key("ArrowRight", 39, True)
        b.until("!document.getElementById('entry').hidden", "the game over", 120)
        b.key("ArrowRight", 39, False)
        b.js("document.getElementById('name').value = 'Tester im Browser'")
        b.click("#send")
        b.until("document.body.dataset.submitted", "the answer to the entry")
        if b.js("document.body.dataset.submitted") != "201":
            fail("the browser's game was not entered: " + b.js("document.getElementById('answer').textContent"))
        if not b.js("document.getElementById('download').href.startsWith('blob:')"):
            fail("the game's replay cannot be downloaded")
        before = b.state()
        b.key("ArrowLeft", 37, True)
        b.until(f"JSON.parse(document.body.dataset.state).x < {before['x'] - 10} || JSON.parse(document.body.dataset.state).level != {before['level']}",
                "the keys steering the next game after the entry")
        b.key("ArrowLeft", 37, False)
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

        # A phone held upright: the touch controls beside the field play a game to its game over, entered.
        b.window(390, 844, 3, True)
        b.open(f"{url}/play")
        if b.dialogs != ["beforeunload"]:
            fail(f"leaving a game under way did not ask first: {b.dialogs}")
        b.until("JSON.parse(document.body.dataset.state || '{}').waiting", "the phone's game to wait")
        figures["zoom_phone"] = fits(b, "390x844 with touch")
        b.touch('#touch [data-key="39"]', True)
        b.until("!document.getElementById('entry').hidden", "the game over on the phone", 120)
        b.touch('#touch [data-key="39"]', False)
        b.js("document.getElementById('name').value = 'Telefon'")
        b.touch("#send", True)
        b.touch("#send", False)
        b.until("document.body.dataset.submitted", "the answer to the phone's entry")
        if b.js("document.body.dataset.submitted") != "201":
            fail("the phone's game was not entered: " + b.js("document.getElementById('answer').textContent"))

        thrown = [e["params"] for e in b.events if e.get("method") == "Runtime.exceptionThrown"]
        if thrown:
            fail(f"the pages threw: {thrown}")
        print("browser_game: ok;", " ".join(f"{k}={v}" for k, v in figures.items()))
    finally:
        stop()


if __name__ == "__main__":
    scenario()
