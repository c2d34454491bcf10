// /watch/ID (and /embed/ID): the entry's replay played by the game's core at 1×, 2× or 4×, with pause,
// steps and a position bar, and at its end whether it ends as the server's check found (points and end
// state). The address keeps the frame shown (#f=FRAME), so a moment can be passed on.
"use strict";

(async () => {
  const cfg = document.body.dataset;
  const $ = (id) => document.getElementById(id);
  const say = (text) => ($("message").textContent = text);
  let game, text;
  try {
    [game, text] = await Promise.all([bbLoad(), fetch(cfg.replay).then((r) => (r.ok ? r.text() : Promise.reject()))]);
  } catch (e) {
    say("Die Wiederholung kann nicht geladen werden.");
    return;
  }
  if (!bbWithText(game, text, (at) => game._bb_watch_open(at))) {
    say("Die Wiederholung ist unlesbar.");
    return;
  }
  // The state the replay says it ends in; the server checked that the game ends in it.
  const endLine = text.match(/^end (\d+) ([0-9a-f]+)\s*$/m);
  const expectedHash = endLine ? endLine[2] : "";
  const expectedPoints = parseInt(cfg.points, 10);
  const frames = game._bb_watch_frames();
  const canvas = $("game");
  const view = bbCanvas(canvas);
  const sound = bbSounds();
  bbKeepKeys(canvas);
  bbFullscreen();
  const bar = $("position");
  bar.max = frames;
  let speed = 1, paused = false, last = performance.now(), owed = 0, finished = false, scouted = false, marked = -1;

  // The frame in the address, without a new entry in the history for every one.
  const mark = () => {
    const frame = game._bb_watch_frame();
    if (frame !== marked) history.replaceState(null, "", `${location.pathname}${location.search}#f=${frame}`);
    marked = frame;
  };
  const show = () => {
    bbDraw(game, view);
    bbStatus(game, $("status"));
    const frame = game._bb_watch_frame();
    bar.value = frame;
    $("frame").textContent = `Bild ${frame} von ${frames}`;
    document.body.dataset.frame = frame;
    if (paused) mark();
  };
  const finish = () => {
    finished = true;
    sound.hold(true);
    const r = bbJson(game, game._bb_watch_result);
    const same = r.status === "ok" && r.Points === expectedPoints && r.EndHash === expectedHash;
    document.body.dataset.result = same ? "match" : "differs";
    document.body.dataset.points = r.Points;
    document.body.dataset.hash = r.EndHash;
    const end = `Ende: ${bbPoints(r.Points)}, Zustand ${r.EndHash}`;
    if (cfg.verified !== "1") say(`${end}. Der Server hat dieses Spiel nicht geprüft.`);
    else if (same) say(`${end} – so, wie der Server es bei seiner Prüfung fand.`);
    else say(`${end} – anders, als der Server es bei seiner Prüfung fand (${bbPoints(expectedPoints)}, ` +
             `Zustand ${expectedHash || "unbekannt"}).`);
    mark();
  };
  const seek = (frame) => {
    frame = Math.max(0, Math.min(frames, Math.round(frame)));
    const started = performance.now();
    game._bb_watch_seek(frame);
    game._bb_cues();  // what sounded on the way is not played afterwards
    document.body.dataset.seekMs = (performance.now() - started).toFixed(1);
    finished = false;
    sound.hold(paused);
    say(paused ? "Pause" : "");
    if (game._bb_watch_over()) finish();
    show();
    mark();
  };
  const setPaused = (on) => {
    paused = on;
    sound.hold(paused || finished);
    $("pause").textContent = paused ? "Weiter" : "Pause";
    if (!finished) say(paused ? "Pause" : "");
    if (paused) mark();
  };
  const setSpeed = (n) => {
    speed = n;
    document.querySelectorAll("[data-speed]").forEach((b) => b.classList.toggle("on", b.dataset.speed === String(n)));
  };

  const loop = (now) => {
    if (!paused && !finished && !document.hidden) {
      owed += Math.min(now - last, 250) * speed;
      const due = Math.floor(owed / kTickMs);
      if (due > 0) {
        owed -= due * kTickMs;
        if (!game._bb_watch_step(due)) finish();
        if (game._bb_won()) bbWin();
        sound(game);
        show();
        if (game._bb_watch_frame() % 80 < due) mark();
      }
    }
    // Saved states along the replay, kept in the time a frame leaves: then any seek is quick.
    if (!scouted) {
      const until = performance.now() + 4;
      while (!scouted && performance.now() < until) scouted = !game._bb_watch_scout(400);
      if (scouted) document.body.dataset.scouted = "1";
    }
    last = now;
    requestAnimationFrame(loop);
  };

  for (const button of document.querySelectorAll("[data-speed]"))
    button.addEventListener("click", () => setSpeed(parseInt(button.dataset.speed, 10)));
  $("pause").addEventListener("click", () => setPaused(!paused));
  canvas.addEventListener("click", () => setPaused(!paused));
  bar.addEventListener("input", () => seek(parseInt(bar.value, 10)));
  // Space pauses; the arrows step a frame in the pause and seek five seconds while it plays; 1, 2, 4 the speed.
  window.addEventListener("keydown", (e) => {
    if (bbTyping(e.target) || e.ctrlKey || e.altKey || e.metaKey) return;
    const frame = game._bb_watch_frame(), jump = paused ? 1 : 200;
    const actions = {
      " ": () => !e.repeat && setPaused(!paused),
      Pause: () => !e.repeat && setPaused(!paused),
      ArrowLeft: () => seek(frame - jump),
      ArrowRight: () => seek(frame + jump),
      Home: () => seek(0),
      End: () => seek(frames),
      1: () => setSpeed(1),
      2: () => setSpeed(2),
      4: () => setSpeed(4),
    };
    if (!actions[e.key]) return;
    e.preventDefault();
    actions[e.key]();
  });
  document.addEventListener("visibilitychange", () => sound.hold(document.hidden || paused || finished));
  const at = /#f=(\d+)/.exec(location.hash);
  if (at) {
    setPaused(true);
    seek(parseInt(at[1], 10));
  } else {
    show();
  }
  canvas.focus({ preventScroll: true });
  document.body.dataset.ready = "1";
  document.body.dataset.firstFrameMs = Math.round(performance.now());
  requestAnimationFrame(loop);
})();
