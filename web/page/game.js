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

// The canvas at the largest whole zoom that fits the window (at most 4; ?zoom=N chooses), pixels sharp.
function bbCanvas(canvas) {
  const asked = parseInt(new URLSearchParams(location.search).get("zoom") || "0", 10);
  const fit = () => {
    const zoom = asked >= 1 && asked <= 4 ? asked : Math.max(1, Math.min(4, Math.floor((window.innerWidth - 24) / kWidth)));
    canvas.style.width = kWidth * zoom + "px";
    canvas.style.height = kHeight * zoom + "px";
    canvas.dataset.zoom = zoom;
  };
  canvas.width = kWidth;
  canvas.height = kHeight;
  fit();
  window.addEventListener("resize", fit);
  const ctx = canvas.getContext("2d", { alpha: false });
  const image = ctx.createImageData(kWidth, kHeight);
  return { ctx, image };
}

// The game's last shown picture and its texts (the status line's font).
function bbDraw(game, view) {
  const at = game._bb_screen();
  view.image.data.set(game.HEAPU8.subarray(at, at + kWidth * kHeight * 4));
  view.ctx.putImageData(view.image, 0, 0);
  view.ctx.font = "bold 15px Arial, 'Liberation Sans', sans-serif";
  view.ctx.textBaseline = "top";
  for (const [x, y, colour, text] of bbJson(game, game._bb_texts)) {
    view.ctx.fillStyle = colour;
    view.ctx.fillText(text, x, y);
  }
}

function bbStatus(game, element) {
  const s = bbJson(game, game._bb_status);
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
