// mp3worker: encodes one piece of music to MP3 with the studio's encoder
// module (mp3/velmora2k-mp3.js, tools/velmora2k_studio_mp3.cpp), a second of music
// at a time, reporting the share done after each.
//
// A classic worker (module workers are newer than some browsers the studio
// runs in). Message in: {left, right} (Float32Arrays of 44.1 kHz samples).
// Messages out: {progress} (0 to 1) any number of times, then {mp3}
// (Uint8Array) or {error} (the problem in words).
//
// Under node (the tests), the file is a CommonJS module whose encode() takes
// the module's factory.
'use strict';

// Samples of each channel given to the encoder at a time: a second of music,
// so progress moves a few times a second and the module's buffers stay small.
const kChunkFrames = 44100;

async function encode(createModule, moduleOptions, left, right, onProgress) {
  if (left.length !== right.length || left.length === 0) throw new Error('no music to encode');
  const mp3 = await createModule(moduleOptions);
  if (mp3._velmora_mp3_begin() !== 0) throw new Error('the MP3 encoder refused its settings');
  for (let at = 0; at < left.length; at += kChunkFrames) {
    const frames = Math.min(kChunkFrames, left.length - at);
    const input = mp3._velmora_mp3_input(frames);
    if (!input) throw new Error('the MP3 encoder has no room for the music');
    // The heap may have grown (and been replaced) during the last call.
    const heap = new Float32Array(mp3.HEAPF32.buffer, input, 2 * frames);
    heap.set(left.subarray(at, at + frames), 0);
    heap.set(right.subarray(at, at + frames), frames);
    const made = mp3._velmora_mp3_encode(frames);
    if (made < 0) throw new Error(`the MP3 encoder failed (lame error ${made})`);
    onProgress((at + frames) / left.length);
  }
  const made = mp3._velmora_mp3_finish();
  if (made < 0) throw new Error(`the MP3 encoder failed at the end (lame error ${made})`);
  const file = mp3._velmora_mp3_file();
  return mp3.HEAPU8.slice(file, file + mp3._velmora_mp3_file_size());
}

if (typeof importScripts === 'function') {
  importScripts('mp3/velmora2k-mp3.js');
  // The module's .wasm lies beside its script, not beside this worker.
  const options = {locateFile: (name) => 'mp3/' + name};
  self.onmessage = async ({data}) => {
    try {
      const mp3 = await encode(createVelmoraMp3, options, data.left, data.right,
                               (progress) => self.postMessage({progress}));
      self.postMessage({mp3}, [mp3.buffer]);
    } catch (e) {
      self.postMessage({error: e && e.message ? e.message : String(e)});
    }
  };
} else if (typeof module === 'object') {
  module.exports = {encode};
}
