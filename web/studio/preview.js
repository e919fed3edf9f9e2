// Preview: the real invitation (the browser build, ./preview/velmora.js)
// playing the studio's data on the studio's canvas, started again for every
// change and taken straight to what is being edited.
//
// Contract:
// - show({pak, music, at}): a new run on pak.pak and qtn.mp3 (music, or the
//   invitation's own when null); at is 'opening' (from the start), 'menu'
//   (the music starts where the menu is whole) or a page's name (the menu,
//   then a click on that page's button). The run it replaces is let go at
//   once: it is never woken again and draws nothing more, and its last
//   picture stays until the new run reaches the menu, through which it
//   hurries unseen (each refresh at once, its clock a frame on). Resolves
//   when the new run shows its first picture.
// - sound(on): from a click or key press (browsers let sound start only
//   there): the next runs play their music; off, they run on the silent
//   clock. The current run is started again with it.
// - onShown(fn): fn({at, ms, time}) when a run reaches what it was taken to:
//   ms from show(), time the page's clock (performance.now()) then (the
//   studio's timing trace reads them).
// - layout: a promise of the screen layout (layout.json) the program has.
// - onEnded(fn): fn(text) when a run ends by itself (Esc, EXIT, or a
//   message box, whose text it gives).
import * as player from './preview/player.js';

const kScript = new URL('./preview/velmora.js', import.meta.url);
const kWasm = new URL('./preview/velmora.wasm', import.meta.url);
const kArchive = 'pak.pak';
const kMusic = 'qtn.mp3';
const kPullIntervalMs = 50;
// The time a hurried refresh adds to a run's clock: one 60 Hz frame.
const kFrameMs = 1000 / 60;

const canvas = document.getElementById('canvas');
const context2d = canvas.getContext('2d', {alpha: false, willReadFrequently: true});

let compiled = null;  // Promise of the WebAssembly.Module, compiled once
// The screen layout the program was built with (layout.json): where its
// buttons are and when its opening ends; the studio's page reads it too.
export const layout = fetch(new URL('./preview/layout.json', import.meta.url)).then((r) => r.json());
let current = null;  // the live run
let withSound = false;
let last = null;  // what show() was last given, for sound()
let shownFn = () => {};
let endedFn = () => {};

// Wakes a hurried run as soon as the browser is free (a message comes
// before timers, which browsers hold back to 4 ms when called often).
const soon = [];
const channel = new MessageChannel();
channel.port1.onmessage = () => {
  const wake = soon.shift();
  if (wake) wake();
};
function atOnce(wake) {
  soon.push(wake);
  channel.port2.postMessage(0);
}

function loadScript() {
  if (typeof window.createVelmora === 'function') return Promise.resolve();
  return new Promise((resolve, reject) => {
    const s = document.createElement('script');
    s.src = kScript.href;
    s.onload = resolve;
    s.onerror = () => reject(new Error('The preview program could not be loaded.'));
    document.head.appendChild(s);
  });
}

function prepare() {
  if (!compiled) {
    compiled = Promise.all([loadScript(), fetch(kWasm).then((r) => {
      if (!r.ok) throw new Error(`The preview program could not be loaded (${r.status}).`);
      return r.arrayBuffer();
    }).then((bytes) => WebAssembly.compile(bytes))]).then(([, module]) => module);
    compiled.catch(() => {
      compiled = null;
    });
  }
  return Promise.all([compiled, layout]);
}

// The middle of the named page's button, in picture pixels.
function buttonMiddle(plan, name) {
  const b = plan.buttons.find((button) => button.name === name);
  return b ? [b.x + (b.width >> 1), b.y + (b.height >> 1)] : null;
}

function pageBridge(run, plan) {
  let image = null;
  const live = () => run === current && !run.ended;
  return {
    open() {},
    draw(rgba, width, height) {
      if (!live() || run.hurry) return;
      if (!image || image.data.buffer !== rgba.buffer || image.data.byteOffset !== rgba.byteOffset) {
        image = new ImageData(new Uint8ClampedArray(rgba.buffer, rgba.byteOffset, width * height * 4), width, height);
      }
      context2d.putImageData(image, 0, 0);
      if (!run.firstShown) {
        run.firstShown = true;
        run.resolveFirst();
        if (run.at === 'opening') arrived(run);
      }
    },
    close() {},
    messageBox(caption, text) {
      if (live()) endedFn(text);
      return Promise.resolve();
    },
    ended() {
      run.ended = true;
      if (run === current) player.stop();
    },
    // The menu starts reading the pointer once it is whole on the screen.
    pointerActive() {
      if (!live()) return;
      const at = buttonMiddle(plan, run.at);
      if (!at) {
        arrived(run);
        return;
      }
      // The click lands once the menu reads the pointer: pressed and let go
      // between two reads counts as one press.
      run.module._web_pointer_at(at[0], at[1]);
      run.module._web_button(0, 1);
      run.module._web_button(0, 0);
      arrived(run);
    },
    sound: (state) => player.soundState(state),
    audioOpen: (rate, channels) => run.withSound && live() && player.open(rate, channels),
    audioPlay: () => player.play(),
    audioPush: (samples) => player.push(samples),
    audioFlush: () => player.flush(),
    audioClose: () => {
      if (run === current) player.stop();
    },
    audioReport: () => player.status(),
    musicStart: () => (run.at === 'opening' ? 0 : plan.opening.menu_end_ms),
    // A hurried refresh comes at once, a frame after the last; then the
    // animation frames' own times follow, moved on by the frames hurried, so
    // that the run's time never goes back.
    refresh(wake) {
      if (run !== current) return;
      if (run.hurry) {
        run.lead += kFrameMs;
        const time = performance.now() + run.lead;
        atOnce(() => {
          if (run === current) wake(time);
        });
      } else {
        requestAnimationFrame((time) => {
          if (run === current) wake(time + run.lead);
        });
      }
    },
    filePending: () => false,
    fileWait: () => Promise.resolve(),
  };
}

function arrived(run) {
  run.hurry = false;
  if (run.reported) return;
  run.reported = true;
  const time = performance.now();
  shownFn({at: run.at, ms: time - run.started, time});
}

const pull = () => {
  if (current && current.ready && !current.ended) current.module._web_audio_pull();
};
setInterval(pull, kPullIntervalMs);
player.onLow(pull);

export async function show({pak, music, at}) {
  const started = performance.now();
  last = {pak, music, at};
  const [module, plan] = await prepare();
  if (last.pak !== pak || last.at !== at) return;  // a newer change came meanwhile
  player.stop();
  const run = {at, started, ended: false, ready: false, withSound, firstShown: false, reported: false,
               hurry: at !== 'opening', lead: 0};
  const first = new Promise((resolve) => {
    run.resolveFirst = resolve;
  });
  const m = {
    canvas,
    page: pageBridge(run, plan),
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
      return {};
    },
    preRun: [() => {
      m.FS.writeFile(kArchive, pak);
      if (music) m.FS.writeFile(kMusic, music);
    }],
    onRuntimeInitialized: () => {
      run.ready = true;
    },
    print: () => {},
    printErr: () => {},
    onAbort: (what) => {
      run.ended = true;
      if (run === current) endedFn('The preview stopped: ' + what);
    },
  };
  run.module = m;
  current = run;
  window.createVelmora(m);
  return first;
}

export async function sound(on) {
  withSound = on;
  if (on) await player.unlock();
  if (last) show(last);
}

export function onShown(fn) {
  shownFn = fn;
}

export function onEnded(fn) {
  endedFn = fn;
}

// The run ends by leaving the module with emscripten's ExitStatus, which is
// how a run ends here, not an error.
const isExit = (e) => e && e.name === 'ExitStatus';
window.addEventListener('error', (e) => {
  if (isExit(e.error)) e.preventDefault();
});
window.addEventListener('unhandledrejection', (e) => {
  if (isExit(e.reason)) e.preventDefault();
});
