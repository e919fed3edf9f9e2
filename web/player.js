// Player: the music's way out. An AudioWorklet runs web/audio.js's
// PcmPlayer; where worklets are missing or their module does not load, a
// ScriptProcessor runs the same player on the main thread; where neither can
// be made, open() is false and the program runs on its silent clock.
//
// Contract:
// - unlock() from inside the start click or key press (browsers let sound
//   start only there): makes the audio context and the output; never throws.
// - open(rate, channels) with the program's PCM format, play(),
//   push(Int16Array of interleaved samples), flush(), stop(), status(): what
//   the page.audio* calls need (bridge.js; status as platform/web.cpp's
//   web_player_report reads it).
// - soundState(state) with 'playing' | 'stalled' | 'silent' from the
//   program; onNotice(fn) gets the notice to show: null, 'tap for sound'
//   (the music stalled while the context is suspended or interrupted; a tap,
//   a key or the tab being shown again resumes it), 'sound interrupted' (it
//   stalled with the context running) or 'no sound'.
// - onLow(fn): called when the player holds less than it should, so the
//   program hands it more.

// The rate asked of the audio context: the music's, so that the player has
// nothing to resample where the device allows it. The format the player
// plays is the one the program gives open().
const kPreferredRate = 44100;
// The player asks for more when it holds less than this share of a second.
const kLowWaterSeconds = 0.4;
// Player reports kept to find the one for the present moment.
const kReportHistory = 32;
const kScriptBlock = 2048;
// Left and right: the player writes stereo whatever the program's format.
const kOutputChannels = 2;

const AudioCtx = window.AudioContext || window.webkitAudioContext;

let ctx = null;
let node = null;  // held, or some browsers collect it and the music stops
let port = null;
let run = 0;
let report = {played: 0, time: 0, buffered: 0, started: -1};
let reported = false;
let history = [];
let sound = null;
let noticeFn = () => {};
let lowFn = () => {};
let format = {rate: kPreferredRate, channels: 0};

export const available = () => Boolean(AudioCtx);

function onReport(r) {
  if (r.run !== run) return;  // from a run that has ended
  report = {played: r.played, time: r.time, buffered: r.buffered, started: r.started};
  reported = true;
  history.push(report);
  if (history.length > kReportHistory) history.shift();
  if (r.buffered < format.rate * kLowWaterSeconds) lowFn();
}

function audioModuleUrl() {
  try {
    return import.meta.resolve('./audio.js');
  } catch (e) {
    return 'audio.js';
  }
}

async function connectWorklet() {
  await ctx.audioWorklet.addModule(audioModuleUrl());
  const n = new AudioWorkletNode(ctx, 'velmora-player', {numberOfInputs: 0, outputChannelCount: [kOutputChannels]});
  n.port.onmessage = (e) => onReport(e.data);
  n.connect(ctx.destination);
  node = n;
  port = n.port;
}

async function connectScript() {
  await import('./audio.js');
  const player = new globalThis.VelmoraPcmPlayer(ctx.sampleRate, onReport, 1);
  const n = ctx.createScriptProcessor(kScriptBlock, 0, kOutputChannels);
  let last = -1;
  const left = new Float32Array(kScriptBlock);
  const right = new Float32Array(kScriptBlock);
  n.onaudioprocess = (e) => {
    const out = e.outputBuffer;
    // After the main thread was held up, the browser calls again and again
    // for the same moment and plays only one of those blocks: each gets the
    // same music, taken from the queue once.
    if (e.playbackTime > last) {
      last = e.playbackTime;
      player.render(left, right, e.playbackTime + out.duration);
    }
    out.copyToChannel(left, 0);
    out.copyToChannel(right, 1);
  };
  n.connect(ctx.destination);
  node = n;
  port = {postMessage: (m) => player.receive(m)};
}

// Resumes a context that was suspended or interrupted; quietly, since a
// browser may refuse outside a user gesture.
export function resume() {
  if (!ctx || ctx.state === 'running' || ctx.state === 'closed') return;
  ctx.resume().catch(() => {});
}

function updateNotice() {
  if (sound === 'stalled') {
    noticeFn(ctx && ctx.state !== 'running' ? 'tap for sound' : 'sound interrupted');
  } else if (sound === 'silent') {
    noticeFn('no sound');
  } else {
    noticeFn(null);
  }
}

export async function unlock() {
  if (!AudioCtx) return;
  try {
    if (!ctx) {
      try {
        ctx = new AudioCtx({sampleRate: kPreferredRate});
      } catch (e) {
        ctx = new AudioCtx();
      }
      ctx.onstatechange = () => {
        updateNotice();
        if (ctx.state !== 'running' && document.visibilityState === 'visible') resume();
      };
    }
    resume();
    if (port) return;
    if (ctx.audioWorklet && typeof AudioWorkletNode === 'function') {
      try {
        await connectWorklet();
        return;
      } catch (e) {
        console.warn('The AudioWorklet player could not start (' + e.message + '); using a ScriptProcessor.');
      }
    }
    await connectScript();
  } catch (e) {
    console.warn('No sound: ' + e.message);
    port = null;
  }
}

export function open(rate, channels) {
  format = {rate, channels};
  return port !== null && ctx !== null && ctx.state !== 'closed';
}

export function play() {
  run += 1;
  report = {played: 0, time: 0, buffered: 0, started: -1};
  reported = false;
  history = [];
  port.postMessage({play: run, rate: format.rate, channels: format.channels});
}

export function push(samples) {
  port.postMessage({pcm: samples.buffer}, [samples.buffer]);
}

export function flush() {
  if (port) port.postMessage({flush: true});
}

export function stop() {
  sound = null;
  updateNotice();
  if (!port) return;
  run += 1;
  port.postMessage({stop: true});
}

// The newest report of blocks already played by now: a ScriptProcessor
// renders ahead, and counting its blocks before their time would put the
// clock ahead of the music.
export function status() {
  const now = ctx ? ctx.currentTime : 0;
  let r = history.length ? history[0] : report;
  for (let i = history.length - 1; i >= 0; i--) {
    if (history[i].time <= now) {
      r = history[i];
      break;
    }
  }
  return {
    played: r.played,
    time: r.time,
    buffered: r.buffered,
    now,
    latency: (ctx && ctx.outputLatency) || 0,
    valid: reported,
  };
}

export function soundState(state) {
  sound = state;
  updateNotice();
}

export function onNotice(fn) {
  noticeFn = fn;
}

export function onLow(fn) {
  lowFn = fn;
}

// For velmoraStatus: the context's clock and where the music started on it.
export function clockInfo() {
  return {
    contextTime: ctx ? ctx.currentTime : 0,
    outputLatency: (ctx && ctx.outputLatency) || 0,
    musicStarted: reported ? report.started : -1,
    contextState: ctx ? ctx.state : 'none',
  };
}

// A hidden tab may have its context suspended; showing it again, or any tap
// or key, resumes it.
document.addEventListener('visibilitychange', () => {
  if (document.visibilityState === 'visible') resume();
});
for (const type of ['pointerdown', 'keydown']) {
  window.addEventListener(type, resume, {capture: true, passive: true});
}
