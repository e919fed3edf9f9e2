// The page around the invitation (the entry module): checks what the
// browser can do, starts the downloads, starts a run on the start click (or
// Enter, or Space) with bridge.js's Module.page, and lives through the run:
// progress, the music still on its way, the end.
//
// A run starts as soon as the program and the archive are there; the music
// follows while the program shows its own loading screen, and the program
// waits for it (platform/arrival_web.cpp) with its progress on the page.
// Loading is loader.js, the program's calls into the page bridge.js, sound
// player.js, input input.js, what is shown and where screens.js.
import * as loader from './loader.js';
import {pageFor} from './bridge.js';
import * as player from './player.js';
import * as screens from './screens.js';
import {attach} from './input.js';

// The program's script and module and its archive, fetched as the page
// opens; the music, fetched on the start click.
const [kScript, kWasm, kArchive, kMusic] = loader.names();
const kProgram = [kScript, kWasm, kArchive];
const kPullIntervalMs = 50;
const kUnlockDelayMs = 50;

// The smallest modules using what the build uses (cmake/web.cmake): an
// i8x16 operation, and memory.copy.
const kSimdModule = Uint8Array.of(0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 10, 1, 8, 0,
                                  65, 0, 253, 15, 253, 98, 11);
const kBulkMemoryModule = Uint8Array.of(0, 97, 115, 109, 1, 0, 0, 0, 1, 4, 1, 96, 0, 0, 3, 2, 1, 0, 5, 3, 1, 0, 1,
                                        10, 14, 1, 12, 0, 65, 0, 65, 0, 65, 0, 252, 10, 0, 0, 11);

const canvas = document.getElementById('canvas');

function missingFeature() {
  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    return 'This invitation needs a browser with WebAssembly.';
  }
  if (!WebAssembly.validate(kSimdModule) || !WebAssembly.validate(kBulkMemoryModule)) {
    return 'This invitation needs a newer browser: this one lacks WebAssembly SIMD or bulk memory.';
  }
  if (!player.available()) return 'This invitation needs a browser with Web Audio.';
  return null;
}

// ---- The music, fetched once for the visit and written into each run. A
// failed download is reported when the program needs the file, with a retry.
let music;  // undefined while on its way, null when the site has none, else the bytes
let musicLoading = false;
let musicError = null;
let current = null;  // the live run

function fetchMusic() {
  if (music !== undefined || musicLoading) return;
  musicLoading = true;
  musicError = null;
  loader.load(kMusic).then((bytes) => {
    musicLoading = false;
    music = bytes;
    if (current) deliverMusic(current);
    queueProgress();
  }, (e) => {
    musicLoading = false;
    musicError = e;
    if (current && !current.ended && current.musicWaiters.length) musicFailed();
  });
}

function musicFailed() {
  screens.failed(musicError.message, () => {
    screens.setState('running');
    fetchMusic();
  });
}

// Puts the music into the run's folder once both are ready, and lets a
// program that waits for it go on.
function deliverMusic(run) {
  if (run.musicSettled || music === undefined || !run.filesReady) return;
  if (music) run.module.FS.writeFile(kMusic, music);
  run.musicSettled = true;
  for (const resolve of run.musicWaiters.splice(0)) resolve();
}

// Calls the program of the current run. Keys pressed while it is still
// starting (after "play again", say) are kept and handed over once it runs,
// so an Esc at that moment is not lost; pointer calls are not kept: the menu
// ignores presses made before it reads the pointer anyway.
function call(name, ...args) {
  if (!current || current.ended) return;
  if (current.ready) {
    current.module[name](...args);
  } else if (name === '_web_key') {
    current.pendingKeys.push(args);
  }
}

const pull = () => call('_web_audio_pull');
setInterval(pull, kPullIntervalMs);
player.onLow(pull);
player.onNotice((text) => screens.notice(text, player.resume));

// ---- Progress, redrawn at most once a frame as bytes arrive.
let progressQueued = false;
function showProgress() {
  progressQueued = false;
  const state = screens.state();
  if (state === 'loading') {
    const p = loader.progress(kProgram);
    screens.progress(p.done, p.total, 'Loading the invitation:', false);
  } else if (state === 'running' && music === undefined) {
    const p = loader.progress([kMusic]);
    screens.progress(p.done, p.total, 'Loading the music:', true);
  } else if (state === 'running') {
    screens.progress(null);
  }
}
function queueProgress() {
  if (progressQueued) return;
  progressQueued = true;
  requestAnimationFrame(showProgress);
}
loader.onProgress(queueProgress);

// ---- The music as the program asks for it (Module.page.filePending and
// fileWait): it waits while the music is on its way, and a failed download is
// offered again.
function musicFiles(run) {
  return {
    pending: (name) => name === kMusic && !run.musicSettled,
    wait: (name) => new Promise((resolve) => {
      if (name !== kMusic || run.musicSettled) {
        resolve();
        return;
      }
      run.musicWaiters.push(resolve);
      if (musicError && !musicLoading) musicFailed();
      queueProgress();
    }),
  };
}

// The program's script from the bytes the loader fetched; it defines
// createVelmora.
function runScript(bytes) {
  if (typeof window.createVelmora === 'function') return Promise.resolve();
  const url = URL.createObjectURL(new Blob([bytes], {type: 'text/javascript'}));
  return new Promise((resolve, reject) => {
    const s = document.createElement('script');
    s.src = url;
    s.onload = () => {
      URL.revokeObjectURL(url);
      resolve();
    };
    s.onerror = () => reject(new Error(kScript + ' did not run'));
    document.head.appendChild(s);
  });
}

function startRun(wasm, pak) {
  const run = {ended: false, ready: false, module: null, filesReady: false, musicSettled: false, musicWaiters: [],
               pendingKeys: []};
  const module = {
    canvas,
    page: pageFor(run, musicFiles(run)),
    wasmBinary: wasm,
    preRun: [() => {
      if (pak) module.FS.writeFile(kArchive, pak);
      run.filesReady = true;
      deliverMusic(run);
    }],
    onRuntimeInitialized: () => {
      run.ready = true;
      // main() runs right after this, up to its first wait: the backend that
      // takes keys exists once this task is over.
      setTimeout(() => {
        for (const args of run.pendingKeys.splice(0)) if (!run.ended) run.module._web_key(...args);
      });
    },
    print: (text) => console.log(text),
    // The program's stderr: notices of states it handles (no sound device, a
    // stalled device) and the text of its message boxes, which the page
    // shows itself; a failure of the run is onAbort's.
    printErr: (text) => console.warn(text),
    onAbort: (what) => {
      if (run.ended) return;
      run.ended = true;
      player.stop();
      screens.messageBox(document.title, 'The invitation stopped: ' + what).then(() => screens.ended(-1));
    },
  };
  run.module = module;
  current = run;
  screens.showBack(false);
  screens.setState('running');
  queueProgress();
  window.createVelmora(module);
}

async function begin() {
  const state = screens.state();
  if (state !== 'start' && state !== 'ended' && state !== 'failed') return;
  screens.setState('loading');
  showProgress();
  // Sound may start only in answer to the click. Opening the audio device can
  // hold the main thread for a second on some systems, so it waits until the
  // progress is on the screen: a timer this short set within the click still
  // counts as part of it (browsers allow sound for a while after a click).
  const unlocked = new Promise((resolve) => setTimeout(resolve, kUnlockDelayMs)).then(player.unlock);
  fetchMusic();
  let files;
  try {
    files = await Promise.all(kProgram.map(loader.load));
  } catch (e) {
    screens.failed(e.message, begin);
    return;
  }
  const [js, wasm, pak] = files;
  if (!js || !wasm) {
    screens.unsupported(`The invitation could not be loaded: ${js ? kWasm : kScript} is missing on the site.`);
    return;
  }
  try {
    await runScript(js);
    await unlocked;
    startRun(wasm, pak);
  } catch (e) {
    console.error(e);
    screens.unsupported('The invitation could not start: ' + e.message);
  }
}

// The program ends by leaving the module with emscripten's ExitStatus,
// which is how a run ends here, not an error.
const isExit = (e) => e && e.name === 'ExitStatus';
window.addEventListener('error', (e) => {
  if (isExit(e.error)) e.preventDefault();
});
window.addEventListener('unhandledrejection', (e) => {
  if (isExit(e.reason)) e.preventDefault();
});

document.getElementById('start').addEventListener('click', (e) => {
  if (!e.target.closest('.links')) begin();
});
document.getElementById('again').addEventListener('click', begin);
document.getElementById('fullscreen').addEventListener('click', screens.toggleFullscreen);

attach({
  call,
  running: () => screens.state() === 'running' && current !== null && !current.ended,
  toggleFullscreen: screens.toggleFullscreen,
  start: begin,
  closeText: () => screens.readText(false),
});

// For tests and the curious: the music clock as the program reads it, the
// audio context's time and the context time at which the music started.
window.velmoraStatus = () => ({
  state: screens.state(),
  clockMs: current && current.ready && !current.ended ? current.module._web_music_clock_ms() : 0,
  ...player.clockInfo(),
});

if (window.matchMedia && window.matchMedia('(pointer: coarse)').matches) screens.touch();
screens.fitCanvas();
const missing = missingFeature();
if (missing) {
  screens.unsupported(missing);
} else {
  // The program and the archive start at once, in the order they are needed;
  // the music follows the start click.
  for (const name of kProgram) loader.load(name).catch(() => {});
  screens.setState('start');
}
