// /play: the game from level 1 in the page, recorded as the desktop game records; a game over offers
// to enter the score, and the replay goes to /api/scores as the desktop game sends it.
"use strict";

(async () => {
  const $ = (id) => document.getElementById(id);
  let game;
  try {
    game = await bbLoad();
  } catch (e) {
    $("message").textContent = "Das Spiel kann nicht geladen werden.";
    return;
  }
  const view = bbCanvas($("game"));
  const sound = bbSounds();
  const seed = Math.floor(Math.random() * 4294967296) * 65536 + Math.floor(Math.random() * 65536);
  game._bb_play_start(seed, 100000 + Math.floor(Math.random() * 1000000));
  const keys = { ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, " ": 32, Spacebar: 32 };
  const form = $("entry");
  let finished = null, last = performance.now(), owed = 0;

  const typing = (e) => e.target instanceof HTMLInputElement || e.target instanceof HTMLButtonElement;
  const onKey = (down) => (e) => {
    if (typing(e) || e.ctrlKey || e.altKey || e.metaKey) return;
    if (e.key === "Escape" || e.key === "Pause") {
      if (down && !e.repeat) game._bb_play_pause(game._bb_play_paused() ? 0 : 1);
      e.preventDefault();
      return;
    }
    const code = keys[e.key];
    if (code === undefined) return;
    e.preventDefault();
    if (!e.repeat) game._bb_play_key(code, down ? 1 : 0);
  };
  window.addEventListener("keydown", onKey(true));
  window.addEventListener("keyup", onKey(false));
  // Keys let go while the page cannot see them would stay held: the game pauses instead.
  const away = () => {
    if (!game._bb_play_paused()) game._bb_play_pause(1);
    sound(game);  // the tune holds now, not once the page is seen again
  };
  document.addEventListener("visibilitychange", () => {
    if (document.hidden) away();
    sound.hold(document.hidden);
  });
  window.addEventListener("blur", away);
  $("game").addEventListener("click", () => game._bb_play_paused() && game._bb_play_pause(0));

  const gameOver = (replay, points) => {
    finished = { replay, points };
    $("points").textContent = points;
    $("answer").textContent = "";
    form.hidden = false;
    $("name").value = localStorage.getItem("blubbi-name") || "";
    $("name").focus();
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
        link.textContent = " Ansehen";
        $("answer").append(link);
        document.body.dataset.entry = j.id;
        finished = null;
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
    form.hidden = true;
    $("game").focus();
  });

  const loop = (now) => {
    if (!document.hidden) {
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
        $("message").textContent = waiting ? "Pfeiltasten: laufen und springen – Leertaste: Blasen"
                                 : paused ? "Pause – Esc: weiter" : "";
        document.body.dataset.state = JSON.stringify({ ...s, paused, waiting, hash: game.UTF8ToString(game._bb_state_hash()) });
      }
    }
    last = now;
    requestAnimationFrame(loop);
  };
  document.body.dataset.ready = "1";
  requestAnimationFrame(loop);
})();
