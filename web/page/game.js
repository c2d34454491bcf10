// What the watch and play pages share: the game's module with its data, and its picture on the canvas.
"use strict";

const kWidth = 681, kHeight = 425, kTickMs = 25;

// The page's body names the files (data-js, data-wasm, data-data); the module and its data, loaded.
async function bbLoad() {
  const cfg = document.body.dataset;
  const started = performance.now();
  const [game, data] = await Promise.all([
    BlubbiGame({ locateFile: (path) => (path.endsWith(".wasm") ? cfg.wasm : path) }),
    fetch(cfg.data).then((r) => r.arrayBuffer()),
  ]);
  const bytes = new Uint8Array(data);
  const at = game._malloc(bytes.length);
  game.HEAPU8.set(bytes, at);
  const ok = game._bb_load_data(at, bytes.length);
  game._free(at);
  if (!ok) throw new Error("Die Spieldaten sind beschädigt.");
  game.loadMs = performance.now() - started;
  window.bbGame = game;  // for measuring from outside (scripts/bench-web.py)
  return game;
}

// Calls `f` with a text in the module's memory.
function bbWithText(game, text, f) {
  const bytes = new TextEncoder().encode(text);
  const at = game._malloc(bytes.length + 1);
  game.HEAPU8.set(bytes, at);
  game.HEAPU8[at + bytes.length] = 0;
  try {
    return f(at);
  } finally {
    game._free(at);
  }
}

function bbJson(game, f) {
  return JSON.parse(game.UTF8ToString(f()));
}

// The field at the largest whole number of device pixels a game pixel that fits the stage, centred
// on whole device pixels; where the play field alone gets a larger zoom than the whole picture
// (phones, small windows), the picture is cut to it. ?zoom=N asks for N device pixels and the whole
// picture. The notices (#notice) stand over the field.
const kField = { x: 103, y: 22, w: 475, h: 380 };

function bbCanvas(canvas) {
  const stage = canvas.parentElement, notice = document.getElementById("notice");
  const asked = parseInt(new URLSearchParams(location.search).get("zoom") || "0", 10);
  const ctx = canvas.getContext("2d", { alpha: false });
  const view = { ctx, image: ctx.createImageData(kWidth, kHeight), cut: false };
  const fit = () => {
    const dpr = window.devicePixelRatio || 1, box = stage.getBoundingClientRect();
    const width = box.width * dpr, height = box.height * dpr;
    const whole = Math.floor(Math.min(width / kWidth, height / kHeight));
    const cut = Math.floor(Math.min(width / kField.w, height / kField.h));
    view.cut = !(asked >= 1 && asked <= 8) && cut > Math.max(whole, 0);
    const zoom = asked >= 1 && asked <= 8 ? asked : Math.max(1, view.cut ? cut : whole);
    const w = view.cut ? kField.w : kWidth, h = view.cut ? kField.h : kHeight;
    if (canvas.width !== w || canvas.height !== h) {
      canvas.width = w;
      canvas.height = h;
    }
    // In device pixels from the window's corner, so that every game pixel is whole.
    const left = Math.max(0, Math.round(box.left * dpr + (width - w * zoom) / 2));
    const top = Math.max(0, Math.round(box.top * dpr + (height - h * zoom) / 2));
    for (const el of [canvas, notice]) {
      if (!el) continue;
      el.style.left = left / dpr - box.left + "px";
      el.style.top = top / dpr - box.top + "px";
      el.style.width = (w * zoom) / dpr + "px";
      el.style.height = (h * zoom) / dpr + "px";
    }
    canvas.style.transform = "none";
    canvas.style.maxWidth = canvas.style.maxHeight = "none";
    canvas.dataset.zoom = zoom;
    if (view.redraw) view.redraw();
  };
  fit();
  window.addEventListener("resize", fit);
  new ResizeObserver(fit).observe(stage);
  return view;
}

// The game's last shown picture and its texts (the status line's font).
function bbDraw(game, view) {
  const at = game._bb_screen();
  view.image.data.set(game.HEAPU8.subarray(at, at + kWidth * kHeight * 4));
  const dx = view.cut ? -kField.x : 0, dy = view.cut ? -kField.y : 0;
  view.ctx.putImageData(view.image, dx, dy);
  view.ctx.font = "bold 15px Arial, 'Liberation Sans', sans-serif";
  view.ctx.textBaseline = "top";
  for (const [x, y, colour, text] of bbJson(game, game._bb_texts)) {
    view.ctx.fillStyle = colour;
    view.ctx.fillText(text, x + dx, y + dy);
  }
  view.redraw = () => bbDraw(game, view);
}

// "1 Punkt", "2 Punkte"
const bbPoints = (n) => `${n} ${Number(n) === 1 ? "Punkt" : "Punkte"}`;

// A text field has the keys while it has the focus; a button, a checkbox or a range never keeps
// them: the page's keys go to the game.
function bbTyping(target) {
  return (target instanceof HTMLInputElement && !["checkbox", "radio", "range", "button", "submit"].includes(target.type))
    || target instanceof HTMLTextAreaElement || target instanceof HTMLSelectElement || target?.isContentEditable;
}
// After a click on a control the focus goes back to the field, so that Space and Enter do not work
// the control again.
function bbKeepKeys(canvas) {
  document.addEventListener("click", (e) => {
    const control = e.target.closest?.("button, label, input, a[download]");
    if (control && !bbTyping(e.target) && !bbTyping(document.activeElement)) canvas.focus({ preventScroll: true });
  });
}

// The fullscreen button and the F key: the field alone on black, at a whole zoom. Where the browser
// has no fullscreen (some phones), the page hides its bars.
function bbFullscreen() {
  const button = document.getElementById("full");
  const set = (on) => document.body.classList.toggle("full", on);
  const toggle = () => {
    const el = document.documentElement;
    if (document.fullscreenElement) document.exitFullscreen();
    else if (el.requestFullscreen) el.requestFullscreen().then(() => set(true), () => set(!document.body.classList.contains("full")));
    else set(!document.body.classList.contains("full"));
  };
  document.addEventListener("fullscreenchange", () => set(!!document.fullscreenElement));
  button?.addEventListener("click", toggle);
  window.addEventListener("keydown", (e) => {
    if ((e.key === "f" || e.key === "F") && !e.ctrlKey && !e.altKey && !e.metaKey && !bbTyping(e.target)) {
      e.preventDefault();
      if (!e.repeat) toggle();
    }
  });
}

function bbStatus(game, element) {
  const s = bbJson(game, game._bb_status);
  if (!element) return s;
  element.textContent = `Punkte: ${s.points}   Leben: ${s.lives}   Level: ${s.level}`;
  return s;
}

// The game's effects and its tune through Web Audio, from its own WAV files and the tune rendered at
// build time (data-sound-NAME on the body). The context is made at once and decoded into, and sounds
// once the page may (after a click or a key); the tune's cues before that are kept, and it holds and
// resumes where it stood. Music and effects have their own switches (#music, #effects), remembered.
function bbSounds() {
  const files = Object.entries(document.body.dataset).filter(([k]) => k.startsWith("sound"));
  const context = new AudioContext();
  const buffers = {};
  for (const [key, url] of files)
    fetch(url).then((r) => r.arrayBuffer()).then((b) => context.decodeAudioData(b))
      .then((decoded) => {
        buffers[key.slice(5).toLowerCase()] = decoded;
        follow();
      }).catch(() => {});
  let woke = false, held = false, tuneOn = false, tune = null, tuneFrom = 0, tuneAt = 0;
  const wake = () => {
    woke = true;
    if (!held) context.resume();
    follow();
  };
  window.addEventListener("keydown", wake, true);
  window.addEventListener("pointerdown", wake, true);
  const switches = {};
  for (const id of ["music", "effects"]) {
    const box = document.getElementById(id);
    switches[id] = () => !box || box.checked;
    if (!box) continue;
    box.checked = localStorage.getItem("blubbi-" + id) !== "0";
    box.addEventListener("change", () => {
      localStorage.setItem("blubbi-" + id, box.checked ? "1" : "0");
      follow();
    });
  }
  // The tune sounds when the game wants it, the page may sound and music is on; it goes on where it stood.
  const follow = () => {
    const wanted = tuneOn && woke && switches.music() && buffers.musik;
    if (wanted && !tune) {
      tune = context.createBufferSource();
      tune.buffer = buffers.musik;
      tune.loop = true;
      tune.connect(context.destination);
      tune.start(0, tuneFrom % buffers.musik.duration);
      tuneAt = context.currentTime;
      document.body.dataset.tune = "on";
    } else if (!wanted && tune) {
      tuneFrom += context.currentTime - tuneAt;
      tune.stop();
      tune = null;
      document.body.dataset.tune = "off";
    }
  };
  const sound = (game) => {
    const cues = game.UTF8ToString(game._bb_cues());
    for (const cue of cues.split(" ")) {
      if (cue === "musik:play" || cue === "musik:resume") {
        tuneOn = true;
      } else if (cue === "musik:stop") {
        tuneOn = false;
        tuneFrom = 0;
      } else if (cue === "musik:pause") {
        tuneOn = false;
      } else if (buffers[cue] && woke && switches.effects()) {
        const source = context.createBufferSource();
        source.buffer = buffers[cue];
        source.connect(context.destination);
        source.start();
      }
    }
    follow();
  };
  // Silent while the page does not run the game (hidden, paused, at its end).
  sound.hold = (hold) => {
    held = hold;
    if (!woke) return;
    hold ? context.suspend() : context.resume();
  };
  window.bbAudio = context;  // for looking on from outside (the page test)
  return sound;
}

// The win: the win picture with the game's words over the page, until "Fertig..." or a while.
function bbWin() {
  let box = document.getElementById("win");
  if (!box) {
    box = document.createElement("div");
    box.id = "win";
    box.style.cssText = "position:fixed;left:50%;top:50%;transform:translate(-50%,-50%);display:flex;gap:12px;" +
      "background:#fff;color:#000;padding:16px;max-width:611px;z-index:10";
    const picture = document.createElement("img");
    picture.src = document.body.dataset.win || "";
    picture.alt = "";
    picture.width = 320;
    picture.height = 376;
    const words = document.createElement("div");
    const title = document.createElement("h2");
    title.textContent = "Herzlichen Glückwunsch!";
    words.append(title);
    for (const line of ["Sie haben alle Level geschafft! Kein Feind ist Blubbi entkommen, jede Blase hat ihr Ziel gefunden.",
                        "Blubbi ruht sich jetzt ein wenig aus. Danach geht es wieder von vorne los - Ihre Punkte nehmen Sie mit.",
                        "Noch nicht genug? Bauen Sie im Leveleditor Ihre eigenen Level!"]) {
      const p = document.createElement("p");
      p.textContent = line;
      words.append(p);
    }
    const done = document.createElement("button");
    done.textContent = "Fertig...";
    done.addEventListener("click", () => (box.hidden = true));
    words.append(done);
    box.append(picture, words);
    document.body.append(box);
  }
  box.hidden = false;
  document.body.dataset.won = String((parseInt(document.body.dataset.won || "0", 10) || 0) + 1);
}
