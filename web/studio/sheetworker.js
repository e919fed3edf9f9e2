// sheetworker: the preview sheet's frames, made by the capture tool built for
// workers (capture/velmora2k-capture.js, tools/velmora2k_capture.cpp on
// emscripten's in-memory file system): it plays the party's pak.pak and
// music with the visit script at 10 frames a second, as invitation.sh runs
// it, and saves the frames listed as PNG files, which are handed back.
//
// A classic worker, as mp3worker.js. Message in: {pak, music} (Uint8Arrays),
// {script} (the visit's input script), {frames} (frame numbers, in the
// sheet's order). Messages out: {progress} (0 to 1) any number of times,
// then {frames} (a PNG file's bytes for each frame asked for, in that order)
// or {error} (the problem in words).
//
// Under node (the tests), the file is a CommonJS module whose capture()
// takes the module's factory.
'use strict';

// The sheet's rate (invitation.sh's `velmora2k-kit visit --fps 10` and
// `velmora2k-capture --fps 10`).
const kFps = 10;
const kDataFolder = '/party';
const kScriptFile = '/visit.txt';
const kFramesFolder = '/frames';
// Lines of the tool's output quoted when it fails.
const kQuotedLines = 4;
// The highest frame number taken: far beyond any visit (hours of frames),
// and a plain integer in the tool's list.
const kMaxFrame = 1e7;

function frameFile(frame) {
  return `${kFramesFolder}/frame_${String(frame).padStart(6, '0')}.png`;
}

// The frame of the script's last event (Esc at the end of a visit).
function lastScriptFrame(script) {
  let last = 0;
  for (const line of script.split('\n')) {
    const frame = parseInt(line, 10);
    if (frame > last) last = frame;
  }
  return last;
}

function checkRequest({pak, music, script, frames}) {
  if (!(pak instanceof Uint8Array) || !(music instanceof Uint8Array)) throw new Error('pak.pak and the music are needed');
  if (typeof script !== 'string') throw new Error('the visit script is missing');
  if (!Array.isArray(frames) || frames.length === 0 ||
      !frames.every((f) => Number.isInteger(f) && f >= 0 && f <= kMaxFrame)) {
    throw new Error('the visit lists no frames to save');
  }
}

async function capture(createModule, moduleOptions, request, onProgress) {
  checkRequest(request);
  const {pak, music, script, frames} = request;
  const output = [];
  const tool = await createModule({...moduleOptions, print: (line) => output.push(line),
                                   printErr: (line) => output.push(line)});
  const FS = tool.FS;
  FS.mkdir(kDataFolder);
  FS.writeFile(`${kDataFolder}/pak.pak`, pak);
  FS.writeFile(`${kDataFolder}/qtn.mp3`, music);
  FS.writeFile(kScriptFile, script);
  // Progress: each frame saved, against the end of the visit. The tool runs
  // in one go, so it is seen where the tool closes a frame's file (the
  // PNG writer closes it more than once).
  const end = Math.max(lastScriptFrame(script), ...frames) || 1;
  const close = FS.close;
  let shown = -1;
  FS.close = (stream) => {
    const path = stream && stream.path;
    const result = close.call(FS, stream);
    const saved = path && path.startsWith(kFramesFolder + '/') && /frame_(\d+)\.png$/.exec(path);
    if (saved && Number(saved[1]) > shown) {
      shown = Number(saved[1]);
      onProgress(Math.min(1, shown / end));
    }
    return result;
  };
  const args = ['--data', kDataFolder, '--fps', String(kFps), '--input', kScriptFile,
                '--save', frames.join(','), '--out', kFramesFolder];
  let code;
  try {
    code = tool.callMain(args);
  } catch (e) {
    throw new Error(`the capture tool stopped (${e && e.message ? e.message : e})`);
  }
  const said = output.filter((line) => line.trim()).slice(-kQuotedLines).join('; ');
  if (code !== 0) throw new Error(`the capture tool failed (exit code ${code}): ${said}`);
  const pngs = frames.map((frame) => {
    if (!FS.analyzePath(frameFile(frame)).exists) throw new Error(`the capture tool saved no frame ${frame}: ${said}`);
    return FS.readFile(frameFile(frame));
  });
  onProgress(1);
  return pngs;
}

if (typeof importScripts === 'function') {
  importScripts('capture/velmora2k-capture.js');
  // The module's .wasm lies beside its script, not beside this worker.
  const options = {locateFile: (name) => 'capture/' + name};
  self.onmessage = async ({data}) => {
    try {
      const frames = await capture(createVelmoraCapture, options, data, (progress) => self.postMessage({progress}));
      self.postMessage({frames}, frames.map((png) => png.buffer));
    } catch (e) {
      self.postMessage({error: e && e.message ? e.message : String(e)});
    }
  };
} else if (typeof module === 'object') {
  module.exports = {capture};
}
