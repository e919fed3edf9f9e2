// The page around the invitation: checks what the browser can do, shows the
// start screen, unlocks audio with the start click, fetches the data, runs the
// module (velmora.js) with this page as its Module.page, forwards input,
// plays the music, shows message boxes and the end screen.
//
// body's data-state tells where the page is: unsupported, start, running,
// message, ended.
'use strict';

(function () {
  const kWidth = 640;
  const kHeight = 480;
  const kSourceRate = 44100;
  const kDataFiles = ['pak.pak', 'qtn.mp3'];
  // The player asks for more when it holds less than this (frames).
  const kLowWater = kSourceRate * 2 / 5;
  const kPullIntervalMs = 50;
  // Player reports kept to find the one for the present moment.
  const kReportHistory = 32;
  const kEsc = 27;

  const $ = (id) => document.getElementById(id);
  const body = document.body;
  const stage = $('stage');
  const canvas = $('canvas');
  const AudioCtx = window.AudioContext || window.webkitAudioContext;

  function setState(state) {
    body.dataset.state = state;
    for (const id of ['start', 'box', 'end', 'unsupported']) $(id).hidden = true;
    const overlay = {start: 'start', message: 'box', ended: 'end', unsupported: 'unsupported'}[state];
    if (overlay) $(overlay).hidden = false;
  }

  function unsupported(text) {
    $('unsupported-text').textContent = text;
    setState('unsupported');
  }

  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    unsupported('This invitation needs a browser with WebAssembly.');
    return;
  }
  if (!AudioCtx) {
    unsupported('This invitation needs a browser with Web Audio.');
    return;
  }
  if (typeof createVelmora !== 'function') {
    unsupported('The invitation could not be loaded (velmora.js is missing).');
    return;
  }

  // Fetched once, before the start click. A file that cannot be fetched is
  // left out of the module's files, so the program reports it as it would on
  // a desktop.
  const dataFiles = Promise.all(kDataFiles.map((name) =>
    fetch(name).then((r) => (r.ok ? r.arrayBuffer() : null), () => null).then((bytes) => [name, bytes])));
  const wasmBinary = fetch('velmora.wasm').then((r) => {
    if (!r.ok) throw new Error('velmora.wasm: HTTP ' + r.status);
    return r.arrayBuffer();
  });
  wasmBinary.catch(() => {});  // reported when the start click needs it

  // ---- Picture: the canvas fits the window with its aspect kept; pixelated
  // when enlarged (sharp), smooth when shrunk.
  function fitCanvas() {
    const back = $('back');
    const room = window.innerHeight - (back.hidden ? 0 : back.offsetHeight);
    const scale = Math.min(window.innerWidth / kWidth, room / kHeight);
    canvas.style.width = kWidth * scale + 'px';
    canvas.style.height = kHeight * scale + 'px';
    canvas.classList.toggle('smooth', scale * (window.devicePixelRatio || 1) < 1);
  }
  window.addEventListener('resize', fitCanvas);

  // ---- Music: an AudioWorklet, or a ScriptProcessor where worklets are missing.
  const audio = {
    ctx: null,
    node: null,
    port: null,
    run: 0,
    report: {played: 0, time: 0, buffered: 0},
    reported: false,
    history: [],

    // Called from the click itself: browsers let audio start only there.
    async unlock() {
      if (!this.ctx) {
        try {
          this.ctx = new AudioCtx({sampleRate: kSourceRate});
        } catch (e) {
          this.ctx = new AudioCtx();
        }
      }
      const resumed = this.ctx.resume();
      if (!this.port) await this.connect();
      await resumed;
    },

    async connect() {
      const ctx = this.ctx;
      const onReport = (r) => this.onReport(r);
      if (ctx.audioWorklet && typeof AudioWorkletNode === 'function') {
        await ctx.audioWorklet.addModule('audio.js');
        const node = new AudioWorkletNode(ctx, 'velmora-player', {
          numberOfInputs: 0,
          outputChannelCount: [2],
          processorOptions: {sourceRate: kSourceRate},
        });
        node.port.onmessage = (e) => onReport(e.data);
        node.connect(ctx.destination);
        this.node = node;
        this.port = node.port;
      } else {
        await loadScript('audio.js');
        const player = new VelmoraPcmPlayer(kSourceRate, ctx.sampleRate, onReport, 1);
        const node = ctx.createScriptProcessor(2048, 0, 2);
        let last = -1;
        let left = null;
        let right = null;
        node.onaudioprocess = (e) => {
          const out = e.outputBuffer;
          // After the main thread was held up, the browser calls again and
          // again for the same moment and plays only one of those blocks:
          // each gets the same music, taken from the queue once.
          if (e.playbackTime > last) {
            last = e.playbackTime;
            if (!left || left.length !== out.length) {
              left = new Float32Array(out.length);
              right = new Float32Array(out.length);
            }
            player.render(left, right, e.playbackTime + out.duration);
          }
          out.copyToChannel(left, 0);
          out.copyToChannel(right, 1);
        };
        node.connect(ctx.destination);
        this.node = node;  // held, or some browsers collect it and the music stops
        this.port = {postMessage: (m) => player.receive(m)};
      }
    },

    onReport(r) {
      if (r.run !== this.run) return;  // from a run that has ended
      this.report = r;
      this.reported = true;
      this.history.push(r);
      if (this.history.length > kReportHistory) this.history.shift();
      if (r.buffered < kLowWater) pull();
    },

    open() {
      return this.port !== null && this.ctx.state !== 'closed';
    },

    play() {
      this.run += 1;
      this.report = {played: 0, time: 0, buffered: 0};
      this.reported = false;
      this.history = [];
      this.port.postMessage({play: this.run});
    },

    push(frames) {
      this.port.postMessage({pcm: frames.buffer}, [frames.buffer]);
    },

    stop() {
      if (!this.port) return;
      this.run += 1;
      this.port.postMessage({stop: true});
    },

    // The newest report of blocks already played by now: a ScriptProcessor
    // renders ahead, and counting its blocks before their time would put
    // the clock ahead of the music.
    status() {
      const now = this.ctx ? this.ctx.currentTime : 0;
      let r = this.history.length ? this.history[0] : this.report;
      for (let i = this.history.length - 1; i >= 0; i--) {
        if (this.history[i].time <= now) {
          r = this.history[i];
          break;
        }
      }
      return {
        played: r.played,
        time: r.time,
        buffered: r.buffered,
        now,
        latency: (this.ctx && this.ctx.outputLatency) || 0,
        valid: this.reported,
      };
    },
  };

  function loadScript(src) {
    return new Promise((resolve, reject) => {
      const s = document.createElement('script');
      s.src = src;
      s.onload = resolve;
      s.onerror = () => reject(new Error(src + ' did not load'));
      document.head.appendChild(s);
    });
  }

  // ---- The running module.
  let current = null;

  function call(name, ...args) {
    if (current && current.ready && !current.ended) current.module[name](...args);
  }

  function pull() {
    call('_web_audio_pull');
  }
  setInterval(pull, kPullIntervalMs);

  // What the backend (platform/web.cpp) calls.
  function pageFor(run) {
    let image = null;  // reused from frame to frame
    return {
      open(title) {
        document.title = title;
      },
      draw(rgba, width, height) {
        if (run.ended) return;
        if (!image || image.width !== width || image.height !== height) image = new ImageData(width, height);
        image.data.set(rgba);
        canvas.getContext('2d', {alpha: false}).putImageData(image, 0, 0);
      },
      close() {
        const ctx = canvas.getContext('2d', {alpha: false});
        ctx.fillStyle = '#000';
        ctx.fillRect(0, 0, canvas.width, canvas.height);
      },
      messageBox(caption, text) {
        $('box-caption').textContent = caption;
        $('box-text').textContent = text;
        setState('message');
        return new Promise((resolve) => {
          $('box-ok').onclick = () => {
            setState('running');
            resolve();
          };
          $('box-ok').focus();
        });
      },
      ended(code) {
        run.ended = true;
        audio.stop();
        $('end-code').textContent = code === 0 ? '' : 'The invitation ended with exit code ' + code + '.';
        setState('ended');
      },
      audioOpen: () => audio.open(),
      audioPlay: () => audio.play(),
      audioPush: (frames) => audio.push(frames),
      audioClose: () => audio.stop(),
      audioReport: () => audio.status(),
    };
  }

  async function start() {
    setState('running');
    try {
      await audio.unlock();
    } catch (e) {
      console.error(e);
    }
    const [files, binary] = await Promise.all([dataFiles, wasmBinary]);
    const run = {ended: false, ready: false, module: null};
    const module = {
      canvas,
      page: pageFor(run),
      wasmBinary: binary,
      preRun: [() => {
        for (const [name, bytes] of files) {
          if (bytes) module.FS.writeFile(name, new Uint8Array(bytes));
        }
      }],
      onRuntimeInitialized: () => {
        run.ready = true;
      },
      print: (text) => console.log(text),
      printErr: (text) => console.error(text),
      onAbort: (what) => {
        if (run.ended) return;
        run.ended = true;
        audio.stop();
        $('box-caption').textContent = 'Velmora2K invitation';
        $('box-text').textContent = 'The invitation stopped: ' + what;
        $('box-ok').onclick = () => setState('ended');
        setState('message');
      },
    };
    run.module = module;
    current = run;
    createVelmora(module);
  }

  async function begin() {
    const state = body.dataset.state;
    if (state !== 'start' && state !== 'ended') return;
    try {
      await start();
    } catch (e) {
      console.error(e);
      unsupported('The invitation could not start: ' + e.message);
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

  $('start').addEventListener('click', begin);
  $('again').addEventListener('click', begin);

  // ---- Keys: Esc and the others go to the program; F11 toggles full screen.
  function keyCode(e) {
    if (e.key === 'Escape' || e.key === 'Esc') return kEsc;
    if (e.key && e.key.length === 1) return e.key.toLowerCase().charCodeAt(0);
    const named = {Enter: 13, Backspace: 8, Tab: 9, Delete: 127};
    if (e.key in named) return named[e.key];
    return 0x40000000 | e.keyCode;
  }

  window.addEventListener('keydown', (e) => {
    if (body.dataset.state !== 'running' || e.ctrlKey || e.metaKey || e.altKey) return;
    if (e.key === 'F11') {
      toggleFullscreen();
    } else {
      call('_web_key', keyCode(e));
    }
    e.preventDefault();
  });

  // ---- Full screen, with pointer lock there.
  function toggleFullscreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen();
      return;
    }
    if (!stage.requestFullscreen) return;
    stage.requestFullscreen().then(() => {
      if (canvas.requestPointerLock) canvas.requestPointerLock();
    }, () => {});
  }
  $('fullscreen').addEventListener('click', toggleFullscreen);

  // ---- Pointer: mouse, pen and touch through pointer events.
  const fingers = new Set();
  let lockedX = 0;
  let lockedY = 0;

  function picturePoint(e) {
    const r = canvas.getBoundingClientRect();
    return [Math.floor((e.clientX - r.left) * kWidth / r.width),
            Math.floor((e.clientY - r.top) * kHeight / r.height)];
  }

  function follow(e) {
    if (document.pointerLockElement === canvas) {
      const r = canvas.getBoundingClientRect();
      lockedX += e.movementX * kWidth / r.width;
      lockedY += e.movementY * kHeight / r.height;
      const dx = Math.trunc(lockedX);
      const dy = Math.trunc(lockedY);
      lockedX -= dx;
      lockedY -= dy;
      if (dx || dy) call('_web_pointer_by', dx, dy);
    } else {
      const [x, y] = picturePoint(e);
      call('_web_pointer_at', x, y);
    }
  }

  function mouseButtons(e) {
    call('_web_button', 0, e.buttons & 1 ? 1 : 0);
    call('_web_button', 1, e.buttons & 2 ? 1 : 0);
  }

  function showBack() {
    if (!$('back').hidden) return;
    $('back').hidden = false;
    fitCanvas();
  }

  canvas.addEventListener('pointerdown', (e) => {
    e.preventDefault();
    if (e.pointerType === 'touch') {
      showBack();
      fingers.add(e.pointerId);
      if (fingers.size === 2) {
        // A second finger: a two-finger tap is the right button.
        call('_web_button', 0, 0);
        call('_web_button', 1, 1);
        call('_web_button', 1, 0);
        return;
      }
      if (fingers.size > 2) return;
      follow(e);
      call('_web_button', 0, 1);
    } else {
      follow(e);
      mouseButtons(e);
    }
    canvas.setPointerCapture(e.pointerId);
  });

  canvas.addEventListener('pointermove', (e) => {
    if (e.pointerType === 'touch') {
      if (fingers.size === 1 && fingers.has(e.pointerId)) follow(e);
      return;
    }
    follow(e);
    mouseButtons(e);
  });

  function pointerEnd(e) {
    if (e.pointerType === 'touch') {
      const wasOne = fingers.size === 1;
      fingers.delete(e.pointerId);
      if (fingers.size === 0) {
        if (wasOne) call('_web_button', 0, 0);
        call('_web_touch_lift');
      }
      return;
    }
    mouseButtons(e);
  }
  canvas.addEventListener('pointerup', pointerEnd);
  canvas.addEventListener('pointercancel', pointerEnd);
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());

  // The on-screen "back" control of touch screens: the right button.
  $('back').addEventListener('pointerdown', (e) => {
    e.preventDefault();
    call('_web_button', 1, 1);
  });
  $('back').addEventListener('pointerup', () => call('_web_button', 1, 0));
  $('back').addEventListener('pointercancel', () => call('_web_button', 1, 0));

  // Neither scrolling nor zooming under the invitation.
  for (const type of ['touchmove', 'gesturestart', 'wheel']) {
    document.addEventListener(type, (e) => e.preventDefault(), {passive: false});
  }

  // For tests and the curious: the music clock as the program reads it, the
  // audio context's time and the context time at which the music started.
  window.velmoraStatus = () => ({
    state: body.dataset.state,
    clockMs: current && current.ready && !current.ended ? current.module._web_music_clock_ms() : 0,
    contextTime: audio.ctx ? audio.ctx.currentTime : 0,
    outputLatency: (audio.ctx && audio.ctx.outputLatency) || 0,
    musicStarted: audio.reported ? audio.report.started : -1,
  });

  if (window.matchMedia && window.matchMedia('(pointer: coarse)').matches) $('back').hidden = false;
  fitCanvas();
  setState('start');
})();
