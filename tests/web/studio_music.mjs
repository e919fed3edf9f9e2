// The studio's workers' own code (web/studio/mp3worker.js, sheetworker.js)
// under node, over the modules built for them (build/studio/), for
// tests/studio_music.test.sh:
//   encode STUDIO_DIR WORKER_DIR SECONDS OUT.mp3 OUT.wav
//       SECONDS of the test signal (left: 440 Hz at half strength; right:
//       1 kHz at a quarter) encoded to OUT.mp3, and the same signal as a
//       16-bit WAV for the lame program; prints "progress N steps, last P",
//       "speed S" (seconds of music encoded per second) and how samples
//       beyond full scale or not numbers, and unequal channels, are taken
//   sheet STUDIO_DIR WORKER_DIR PAK MUSIC VISIT_FILE FRAMES OUT_DIR
//       the preview sheet's frames (FRAMES comma-separated) as
//       OUT_DIR/frame_NNNNNN.png; a failure prints "error: MESSAGE" and
//       exits with 1
import {createRequire} from 'node:module';
import fs from 'node:fs';
import path from 'node:path';

const require = createRequire(import.meta.url);
const kRate = 44100;
const kSignal = [{hz: 440, amplitude: 0.5}, {hz: 1000, amplitude: 0.25}];

function signal(seconds) {
  return kSignal.map(({hz, amplitude}) => {
    const samples = new Float32Array(Math.round(seconds * kRate));
    for (let i = 0; i < samples.length; ++i) samples[i] = amplitude * Math.sin((2 * Math.PI * hz * i) / kRate);
    return samples;
  });
}

function wav(left, right) {
  const bytes = left.length * 4;
  const out = Buffer.alloc(44 + bytes);
  out.write('RIFF', 0);
  out.writeUInt32LE(36 + bytes, 4);
  out.write('WAVEfmt ', 8);
  out.writeUInt32LE(16, 16);
  out.writeUInt16LE(1, 20);
  out.writeUInt16LE(2, 22);
  out.writeUInt32LE(kRate, 24);
  out.writeUInt32LE(kRate * 4, 28);
  out.writeUInt16LE(4, 32);
  out.writeUInt16LE(16, 34);
  out.write('data', 36);
  out.writeUInt32LE(bytes, 40);
  const s16 = (x) => Math.max(-32768, Math.min(32767, Math.round(x * 32768)));
  for (let i = 0; i < left.length; ++i) {
    out.writeInt16LE(s16(left[i]), 44 + 4 * i);
    out.writeInt16LE(s16(right[i]), 46 + 4 * i);
  }
  return out;
}

async function encode([studio, workers, seconds, mp3File, wavFile]) {
  const {encode} = require(path.resolve(workers, 'mp3worker.js'));
  const createModule = require(path.resolve(studio, 'mp3/velmora2k-mp3.js'));
  const [left, right] = signal(Number(seconds));
  const steps = [];
  const started = performance.now();
  const mp3 = await encode(createModule, {}, left, right, (p) => steps.push(p));
  const took = (performance.now() - started) / 1000;
  fs.writeFileSync(mp3File, mp3);
  fs.writeFileSync(wavFile, wav(left, right));
  const rising = steps.every((p, i) => p > (i ? steps[i - 1] : 0) && p <= 1);
  console.log(`progress ${steps.length} steps${rising ? '' : ' not rising'}, last ${steps[steps.length - 1]}`);
  console.log(`speed ${(Number(seconds) / took).toFixed(1)}`);
  // Samples beyond full scale and no numbers at all: clipped and silenced,
  // a file as long as the others.
  const unruly = left.slice();
  [NaN, Infinity, -Infinity, 4, -4].forEach((x, i) => unruly.fill(x, i * kRate, i * kRate + 100));
  const clipped = await encode(createModule, {}, unruly, right, () => {});
  console.log(`unruly samples: ${clipped.length === mp3.length ? 'same size' : clipped.length + ' bytes'}`);
  // Samples the encoder cannot take: a clear error, no file.
  await encode(createModule, {}, left, right.subarray(1), () => {}).then(
      () => console.log('unequal channels: encoded'), (e) => console.log(`unequal channels: ${e.message}`));
}

async function sheet([studio, workers, pak, music, visitFile, frames, outDir]) {
  const {capture} = require(path.resolve(workers, 'sheetworker.js'));
  const createModule = require(path.resolve(studio, 'capture/velmora2k-capture.js'));
  const request = {pak: fs.readFileSync(pak), music: fs.readFileSync(music),
                   script: fs.readFileSync(visitFile, 'utf8'), frames: frames.split(',').map(Number)};
  const steps = [];
  try {
    const pngs = await capture(createModule, {}, request, (p) => steps.push(p));
    fs.mkdirSync(outDir, {recursive: true});
    request.frames.forEach((frame, i) =>
      fs.writeFileSync(path.join(outDir, `frame_${String(frame).padStart(6, '0')}.png`), pngs[i]));
    console.log(`progress ${steps.length} steps, last ${steps[steps.length - 1]}`);
  } catch (e) {
    console.log(`error: ${e.message}`);
    process.exitCode = 1;
  }
}

const [command, ...args] = process.argv.slice(2);
await ({encode, sheet})[command](args);
