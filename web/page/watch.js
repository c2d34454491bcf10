// /watch/ID: the entry's replay played by the game's core at 1×, 2× or 4×, with pause and a position
// bar, and at its end whether it ends as the server's check found (points and end state).
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
  const view = bbCanvas($("game"));
  const sound = bbSounds();
  const bar = $("position");
  bar.max = frames;
  let speed = 1, paused = false, last = performance.now(), owed = 0, finished = false;

  const show = () => {
    bbDraw(game, view);
    bbStatus(game, $("status"));
    const frame = game._bb_watch_frame();
    bar.value = frame;
    $("frame").textContent = `Bild ${frame} von ${frames}`;
    document.body.dataset.frame = frame;
  };
  const finish = () => {
    finished = true;
    sound.hold(true);
    const r = bbJson(game, game._bb_watch_result);
    const same = r.status === "ok" && r.Points === expectedPoints && r.EndHash === expectedHash;
    document.body.dataset.result = same ? "match" : "differs";
    document.body.dataset.points = r.Points;
    document.body.dataset.hash = r.EndHash;
    const end = `Ende: ${r.Points} Punkte, Zustand ${r.EndHash}`;
    if (cfg.verified !== "1") say(`${end}. Der Server hat dieses Spiel nicht geprüft.`);
    else if (same) say(`${end} – so, wie der Server es bei seiner Prüfung fand.`);
    else say(`${end} – anders, als der Server es bei seiner Prüfung fand (${expectedPoints} Punkte, ` +
             `Zustand ${expectedHash || "unbekannt"}).`);
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
      }
    }
    last = now;
    requestAnimationFrame(loop);
  };

  for (const button of document.querySelectorAll("[data-speed]"))
    button.addEventListener("click", () => {
      speed = parseInt(button.dataset.speed, 10);
      document.querySelectorAll("[data-speed]").forEach((b) => b.classList.toggle("on", b === button));
    });
  $("pause").addEventListener("click", () => {
    paused = !paused;
    sound.hold(paused);
    $("pause").textContent = paused ? "Weiter" : "Pause";
  });
  bar.addEventListener("input", () => {
    const started = performance.now();
    game._bb_watch_seek(parseInt(bar.value, 10));
    game._bb_cues();  // what sounded on the way is not played afterwards
    document.body.dataset.seekMs = Math.round(performance.now() - started);
    finished = false;
    sound.hold(paused);
    say("");
    if (game._bb_watch_over()) finish();
    show();
  });
  document.addEventListener("visibilitychange", () => sound.hold(document.hidden || paused || finished));
  show();
  document.body.dataset.ready = "1";
  document.body.dataset.firstFrameMs = Math.round(performance.now());
  requestAnimationFrame(loop);
})();
