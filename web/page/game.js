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
// build time (data-sound-NAME on the body), once the page may sound (after a click or a key).
function bbSounds() {
  const files = Object.entries(document.body.dataset).filter(([k]) => k.startsWith("sound"));
  let context = null, tune = null, tuneOn = false;
  const buffers = {};
  const wake = () => {
    if (context) return;
    context = new AudioContext();
    for (const [key, url] of files)
      fetch(url).then((r) => r.arrayBuffer()).then((b) => context.decodeAudioData(b))
        .then((decoded) => (buffers[key.slice(5).toLowerCase()] = decoded)).catch(() => {});
  };
  window.addEventListener("keydown", wake);
  window.addEventListener("pointerdown", wake);
  const muted = () => document.getElementById("mute")?.checked;
  const startTune = () => {
    if (tune || !buffers.musik || muted()) return;
    tune = context.createBufferSource();
    tune.buffer = buffers.musik;
    tune.loop = true;
    tune.connect(context.destination);
    tune.start();
  };
  const stopTune = () => {
    if (tune) tune.stop();
    tune = null;
  };
  document.getElementById("mute")?.addEventListener("change", () => (muted() ? stopTune() : tuneOn && startTune()));
  const sound = (game) => {
    const cues = game.UTF8ToString(game._bb_cues());
    if (!context) return;
    for (const cue of cues.split(" ")) {
      if (cue === "musik:play" || cue === "musik:resume") {
        tuneOn = true;
        startTune();
      } else if (cue === "musik:stop" || cue === "musik:pause") {
        tuneOn = false;
        stopTune();
      } else if (buffers[cue] && !muted()) {
        const source = context.createBufferSource();
        source.buffer = buffers[cue];
        source.connect(context.destination);
        source.start();
      }
    }
  };
  // Silent while the page does not run the game (hidden, paused, at its end).
  sound.hold = (held) => {
    if (context) held ? context.suspend() : context.resume();
  };
  return sound;
}
