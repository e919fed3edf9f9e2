// The music player: plays the 16-bit PCM the module hands it, at the rate and
// with the channels the module names, as stereo at the context's rate, and
// reports what it has played, so the module's clock counts samples that were
// really played.
//
// Loaded two ways: as an AudioWorklet module (registers "velmora-player"),
// and, where worklets are missing, as a plain script that exposes the same
// PcmPlayer for a ScriptProcessor on the main thread.
//
// Messages in: {pcm: ArrayBuffer of interleaved Int16 samples}, {play: run,
// rate, channels} (forget what is queued, count from zero for that run, in
// that format), {flush: true} (forget what is
// queued, keep counting), {stop: true}. Reports out, every
// few render quanta while playing: {run, played, time, buffered, started}:
// source frames consumed, the context time (s) up to which they were
// consumed, frames still queued, the context time (s) at which the first
// frame played. The same report object is filled each time: a receiver on
// the same thread copies what it keeps.
//
// Rendering allocates nothing: no object per frame or per block on the audio
// thread, where a garbage collection would be heard.

// Render quanta (128 frames) between two reports of the worklet.
const kQuantaPerReport = 4;

class PcmPlayer {
  // report is called every reportEvery calls of render while playing.
  constructor(outputRate, report, reportEvery) {
    this.outputRate = outputRate;
    // Source frames per output frame (1 when the rates agree), and the
    // samples in a source frame: set by each play message.
    this.step = 1;
    this.channels = 1;
    this.report = report;
    this.reportEvery = reportEvery;
    this.run = 0;
    this.reported = {run: 0, played: 0, time: 0, buffered: 0, started: -1};
    this.stop();
  }

  receive(message) {
    if (message.pcm) {
      const samples = new Int16Array(message.pcm);
      this.queue.push(samples);
      this.buffered += samples.length / this.channels;
    } else if (message.play) {
      this.stop();
      this.run = message.play;
      this.step = message.rate / this.outputRate;
      this.channels = message.channels;
      this.playing = true;
    } else if (message.flush) {
      this.queue = [];
      this.head = 0;
      this.buffered = 0;
    } else if (message.stop) {
      this.stop();
    }
  }

  stop() {
    this.queue = [];
    this.head = 0;  // next frame of queue[0]
    this.buffered = 0;
    this.played = 0;
    this.playing = false;
    this.quanta = 0;
    this.started = -1;
    // Linear interpolation between frame a and frame b at this phase.
    this.phase = 1;
    this.aLeft = 0;
    this.aRight = 0;
    this.bLeft = 0;
    this.bRight = 0;
  }

  // Takes the next queued frame into b (a mono source on both sides, a
  // source with more channels by its first two); false when none is queued.
  advance() {
    if (this.buffered === 0) return false;
    const chunk = this.queue[0];
    const at = this.head * this.channels;
    this.aLeft = this.bLeft;
    this.aRight = this.bRight;
    this.bLeft = chunk[at] / 32768;
    this.bRight = chunk[at + (this.channels > 1 ? 1 : 0)] / 32768;
    this.head += 1;
    if (at + this.channels >= chunk.length) {
      this.queue.shift();
      this.head = 0;
    }
    this.buffered -= 1;
    this.played += 1;
    return true;
  }

  // Fills left and right; `end` is the context time at the end of this block.
  render(left, right, end) {
    const n = left.length;
    for (let i = 0; i < n; i++) {
      let starved = false;
      while (this.playing && this.phase >= 1) {
        if (!this.advance()) {
          starved = true;
          break;
        }
        this.phase -= 1;
      }
      if (!this.playing || starved) {
        left[i] = 0;
        right[i] = 0;
        continue;
      }
      if (this.started < 0) this.started = end - (n - i) / this.outputRate;
      const t = this.phase;
      left[i] = this.aLeft + (this.bLeft - this.aLeft) * t;
      right[i] = this.aRight + (this.bRight - this.aRight) * t;
      this.phase += this.step;
    }
    if (this.playing && ++this.quanta % this.reportEvery === 0) {
      const r = this.reported;
      r.run = this.run;
      r.played = this.played;
      r.time = end;
      r.buffered = this.buffered;
      r.started = this.started;
      this.report(r);
    }
  }
}

if (typeof AudioWorkletProcessor === 'function') {
  class PlayerProcessor extends AudioWorkletProcessor {
    constructor() {
      super();
      this.player = new PcmPlayer(sampleRate, (r) => this.port.postMessage(r), kQuantaPerReport);
      this.port.onmessage = (e) => this.player.receive(e.data);
    }

    process(inputs, outputs) {
      const out = outputs[0];
      const left = out[0];
      if (out.length < 2 && (!this.spare || this.spare.length !== left.length)) {
        this.spare = new Float32Array(left.length);  // a mono output's unused right channel
      }
      const right = out.length > 1 ? out[1] : this.spare;
      this.player.render(left, right, (currentFrame + left.length) / sampleRate);
      return true;
    }
  }
  registerProcessor('velmora-player', PlayerProcessor);
} else {
  globalThis.VelmoraPcmPlayer = PcmPlayer;
}
