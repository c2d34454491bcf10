// /play: the game from level 1 in the page, recorded as the desktop game records; a game over offers
// to enter the score, and the replay goes to /api/scores as the desktop game sends it. Keys, the
// touch controls and gamepads steer it.
"use strict";

(async () => {
  const $ = (id) => document.getElementById(id);
  const touch = matchMedia("(pointer: coarse)").matches || navigator.maxTouchPoints > 0;
  document.body.classList.toggle("touch", touch);
  let game;
  try {
    game = await bbLoad();
  } catch (e) {
    $("message").textContent = "Das Spiel kann nicht geladen werden.";
    return;
  }
  const canvas = $("game");
  const view = bbCanvas(canvas);
  const sound = bbSounds();
  bbKeepKeys(canvas);
  bbFullscreen();
  const seed = Math.floor(Math.random() * 4294967296) * 65536 + Math.floor(Math.random() * 65536);
  game._bb_play_start(seed, 100000 + Math.floor(Math.random() * 1000000));
  const keys = { ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, " ": 32, Spacebar: 32 };
  const kKeyboard = 0, kTouch = 1, kPads = 2;
  const form = $("entry");
  let finished = null, last = performance.now(), owed = 0, playing = false;

  const togglePause = () => {
    const paused = game._bb_play_paused();
    if (!paused) game._bb_play_release_all();
    game._bb_play_pause(paused ? 0 : 1);
  };
  const onKey = (down) => (e) => {
    if (bbTyping(e.target) || e.ctrlKey || e.altKey || e.metaKey) return;
    if (e.key === "Escape" || e.key === "Pause") {
      if (down && !e.repeat) togglePause();
      e.preventDefault();
      return;
    }
    const code = keys[e.key];
    if (code === undefined) return;
    e.preventDefault();
    if (!e.repeat) game._bb_play_held(kKeyboard, code, down ? 1 : 0);
    if (down) playing = true;
  };
  window.addEventListener("keydown", onKey(true));
  window.addEventListener("keyup", onKey(false));
  // Keys let go while the page cannot see them would stay held: the game pauses instead.
  const away = () => {
    game._bb_play_release_all();
    if (!game._bb_play_paused()) game._bb_play_pause(1);
    sound(game);  // the tune holds now, not once the page is seen again
  };
  document.addEventListener("visibilitychange", () => {
    if (document.hidden) away();
    sound.hold(document.hidden);
  });
  window.addEventListener("blur", away);
  canvas.addEventListener("click", () => game._bb_play_paused() && game._bb_play_pause(0));
  // Leaving the page ends a game under way, or one whose score was not entered yet: the browser asks first.
  window.addEventListener("beforeunload", (e) => {
    if (!playing && !finished) return;
    e.preventDefault();
    e.returnValue = "";
  });

  // The touch controls: each held while a finger is on it.
  for (const button of document.querySelectorAll("#touch [data-key]")) {
    const code = parseInt(button.dataset.key, 10);
    const hold = (down) => (e) => {
      e.preventDefault();
      if (button.classList.contains("held") === down) return;
      button.classList.toggle("held", down);
      game._bb_play_held(kTouch, code, down ? 1 : 0);
      if (down) playing = true;
    };
    button.addEventListener("pointerdown", hold(true));
    for (const end of ["pointerup", "pointercancel", "pointerleave"]) button.addEventListener(end, hold(false));
    button.addEventListener("contextmenu", (e) => e.preventDefault());
  }
  $("touch-pause").addEventListener("pointerdown", (e) => {
    e.preventDefault();
    togglePause();
  });

  // Gamepads as the desktop game maps them: the d-pad and the left stick walk, the south button jumps,
  // west and east spit, Start pauses.
  const pads = new Map();  // index -> { bits, start }
  const kPadKeys = [[1, 37], [2, 38], [4, 39], [8, 32]];
  const padKeys = (index, bits) => {
    const was = pads.get(index)?.bits || 0;
    for (const [bit, code] of kPadKeys)
      if ((was ^ bits) & bit) game._bb_play_held(kPads + index, code, bits & bit ? 1 : 0);
    if (bits & ~was) playing = true;
  };
  window.addEventListener("gamepaddisconnected", (e) => {
    padKeys(e.gamepad.index, 0);
    pads.delete(e.gamepad.index);
  });
  const pollPads = () => {
    for (const pad of navigator.getGamepads ? navigator.getGamepads() : []) {
      if (!pad || !pad.connected) continue;
      const b = (i) => (pad.buttons[i] && pad.buttons[i].pressed ? 1 : 0);
      const bits = game._bb_pad_keys(b(14), b(15), pad.axes[0] || 0, b(0), b(2), b(1));
      const start = b(9);
      if (start && !pads.get(pad.index)?.start) togglePause();
      padKeys(pad.index, bits);
      pads.set(pad.index, { bits, start });
    }
  };

  let download = null;
  const gameOver = (replay, points) => {
    finished = { replay, points };
    playing = false;
    $("points").textContent = bbPoints(points);
    $("answer").textContent = "";
    if (download) URL.revokeObjectURL(download);
    download = URL.createObjectURL(new Blob([replay], { type: "application/octet-stream" }));
    $("download").href = download;
    form.hidden = false;
    $("name").value = localStorage.getItem("blubbi-name") || "";
    if (!touch) $("name").focus();
  };
  const closeForm = () => {
    form.hidden = true;
    canvas.focus({ preventScroll: true });
  };
  form.addEventListener("submit", async (e) => {
    e.preventDefault();
    if (!finished) return;
    const body = new FormData();
    body.append("name", $("name").value);
    body.append("punkte", finished.points);
    body.append("replay", new Blob([finished.replay], { type: "text/plain" }), "spiel.blubbi-replay");
    $("send").disabled = true;
    $("answer").textContent = "Wird gesendet und geprüft …";
    try {
      const answer = await fetch("/api/scores", { method: "POST", body });
      const j = await answer.json();
      document.body.dataset.submitted = answer.status;
      $("answer").textContent = j.reason || "";
      if (j.id) {
        localStorage.setItem("blubbi-name", $("name").value);
        const link = document.createElement("a");
        link.href = "/watch/" + j.id;
        link.textContent = "Ansehen";
        $("answer").append(" ", link);
        document.body.dataset.entry = j.id;
        finished = null;
        // The keys are the game's again; the answer stays until the next game over.
        $("name").blur();
        canvas.focus({ preventScroll: true });
      }
    } catch (err) {
      $("answer").textContent = "Der Server ist nicht erreichbar.";
    }
    $("send").disabled = false;
  });
  // "Continue", as the desktop's game-over dialog offers it: the level again with three lives.
  $("continue").addEventListener("click", () => {
    if (!game._bb_play_continue()) return;
    finished = null;
    form.hidden = true;
    $("game").focus();
  });
  $("skip").addEventListener("click", () => {
    finished = null;
    closeForm();
  });

  const waitingText = touch ? "◀ ▶ laufen · ▲ springen · ● Blasen – zum Anfangen antippen"
                            : "Pfeiltasten: laufen und springen – Leertaste: Blasen";
  const loop = (now) => {
    if (!document.hidden) {
      pollPads();
      owed += Math.min(now - last, 8 * kTickMs);  // ticks lost beyond a few, as the desktop's timer loses them
      let ran = false;
      while (owed >= kTickMs) {
        owed -= kTickMs;
        game._bb_play_tick();
        sound(game);
        ran = true;
        const replay = game.UTF8ToString(game._bb_play_finished());
        if (replay) gameOver(replay, game.UTF8ToString(game._bb_play_finished_points()));
        if (game._bb_won()) bbWin();
      }
      if (ran) {
        bbDraw(game, view);
        const s = bbStatus(game, $("status"));
        const waiting = game._bb_play_waiting(), paused = game._bb_play_paused();
        const text = waiting ? waitingText : paused ? (touch ? "Pause – antippen: weiter" : "Pause – Esc: weiter")
                   : "";
        if ($("message").textContent !== text) $("message").textContent = text;
        document.body.dataset.state = JSON.stringify({ ...s, paused, waiting, hash: game.UTF8ToString(game._bb_state_hash()) });
      }
    }
    last = now;
    requestAnimationFrame(loop);
  };
  canvas.focus({ preventScroll: true });
  document.body.dataset.ready = "1";
  requestAnimationFrame(loop);
})();
