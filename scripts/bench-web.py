#!/usr/bin/env python3
"""Speed of the game in headless Chromium against the native build, in one run: the whole game's proof
(every level) checked without pictures in the page and by blubbi-sim --verify, the page's frames with
composition, the first frame after navigation and what the pages load. Prints figures, fails nothing.
Usage: scripts/bench-web.py [BUILD] [CHROMIUM]"""
import gzip, json, os, re, subprocess, sys, time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "web"))
import browser_game as g  # noqa: E402

g.build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build"))
g.chromium = sys.argv[2] if len(sys.argv) > 2 else "/usr/bin/chromium"
try:
    with open(os.path.join(root, "tests", "replays", "wholegame.script")) as f:
        script = f.read() + "\ndown right\ntick 6000\n"
    with open(f"{g.work}/whole.script", "w") as f:
        f.write(script)
    g.sim("--record", f"{g.work}/whole.blubbi-replay", f"{g.work}/whole.script")
    with open(f"{g.work}/whole.blubbi-replay") as f:
        replay = f.read()
    native = []
    for _ in range(9):
        started = time.perf_counter()
        verdict = json.loads(g.sim("--verify", f"{g.work}/whole.blubbi-replay").stdout)
        native.append(time.perf_counter() - started)
    url = g.server("--web", f"{g.build}/web")
    entry = g.submit(url, "Messung", int(verdict["GameOverPoints"]), replay)
    b = g.Browser()
    started = time.perf_counter()
    b.open(f"{url}/watch/{entry['id']}")
    first = time.perf_counter() - started
    b.js("document.getElementById('pause').click()")
    result = b.js("(() => { const game = window.bbGame; const text = " + json.dumps(replay) + ";"
                  " const open = () => bbWithText(game, text, (at) => game._bb_watch_open(at));"
                  " const runs = []; for (let i = 0; i < 9; ++i) { open(); const t = performance.now();"
                  " game._bb_watch_seek(game._bb_watch_frames()); runs.push(performance.now() - t); }"
                  " open(); const t = performance.now(); let frames = 0; while (game._bb_watch_step(1)) ++frames;"
                  " return { frames: game._bb_watch_frames(), check: Math.min(...runs), drawn: performance.now() - t,"
                  " points: JSON.parse(game.UTF8ToString(game._bb_watch_result())).Points }; })()")
    frames = result["frames"]
    check_ms, native_ms = result["check"], min(native) * 1000
    print(f"bench-web: {frames} frames ({frames / 40 / 60:.1f} minutes of play), points {result['points']} "
          f"(blubbi-sim: {verdict['GameOverPoints']})")
    print(f"bench-web: check without pictures: page {check_ms:.0f} ms ({check_ms * 1000 / frames:.1f} µs a frame), "
          f"blubbi-sim --verify {native_ms:.0f} ms (the whole program) ({native_ms * 1000 / frames:.1f} µs a frame): "
          f"ratio {check_ms / native_ms:.2f}")
    print(f"bench-web: the page checks at {frames * 25 / check_ms:.0f}x real time "
          f"(a ten-minute replay in {24000 * check_ms / frames / 1000:.2f} s)")
    print(f"bench-web: every frame composed in the page: {result['drawn'] * 1000 / frames:.1f} µs a frame")
    print(f"bench-web: first frame {first * 1000:.0f} ms after navigation")
    transfer = 0
    page = g.get(f"{url}/watch/{entry['id']}")[2].decode() + g.get(f"{url}/play")[2].decode()
    for name in sorted(set(re.findall(r'/web/([A-Za-z0-9._-]+)', page))):
        transfer += len(g.get(f"{url}/web/{name}", {"Accept-Encoding": "gzip"})[2])
    print(f"bench-web: everything the pages load: {transfer / 1024:.0f} KB as sent (gzip where it is smaller)")

    # Seeking in a two-hour game: walking to and fro, every game over continued, the last one entered.
    rounds = 288000 // 320
    with open(f"{g.work}/long.script", "w") as f:
        f.write("answer continue\n" + "down right\ntick 150\nup right\ndown left\ntick 150\nup left\ndown up\ntick 20\n"
                "up up\n" * rounds + "answer newgame\ndown right\ntick 20000\n")
    g.sim("--viewport", "1x1", "--record", f"{g.work}/long.blubbi-replay", f"{g.work}/long.script")
    # Each game over writes the game so far: the last file holds all of it.
    longest = max((n for n in os.listdir(g.work) if n.startswith("long.blubbi-replay")), key=lambda n: os.path.getsize(f"{g.work}/{n}"))
    os.replace(f"{g.work}/{longest}", f"{g.work}/long.blubbi-replay")
    with open(f"{g.work}/long.blubbi-replay") as f:
        long_replay = f.read()
    long_url = g.server("--web", f"{g.build}/web", "--max-frames", "400000", "--verify-seconds", "300")
    long_entry = g.submit(long_url, "Lang", int(json.loads(g.sim("--verify", f"{g.work}/long.blubbi-replay").stdout)["GameOverPoints"]),
                          gzip.compress(long_replay.encode()))
    started = time.perf_counter()
    b.open(f"{long_url}/watch/{long_entry['id']}")
    b.js("document.getElementById('pause').click()")
    b.until("document.body.dataset.scouted === '1'", "the states along the two-hour game", 600)
    kept = time.perf_counter() - started
    seeks = b.js("(() => { const game = window.bbGame, frames = game._bb_watch_frames(), runs = [];"
                 " for (let i = 0; i < 40; ++i) { const t = performance.now();"
                 " game._bb_watch_seek(Math.floor(frames * ((i * 0.618) % 1))); runs.push(performance.now() - t); }"
                 " runs.sort((a, b) => a - b); return { frames, median: runs[20], worst: runs[39] }; })()")
    print(f"bench-web: a two-hour game ({seeks['frames']} frames): states along it kept {kept:.1f} s after navigation;"
          f" a seek anywhere: median {seeks['median']:.1f} ms, worst of 40 {seeks['worst']:.1f} ms")
finally:
    g.stop()
