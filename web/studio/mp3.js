// mp3: the party's music as the invitation plays it, made in the browser as
// invitation.sh makes it on a computer: any file the browser reads, decoded
// to 44.1 kHz stereo, then encoded to an MP3 of 192 kbit/s by the lame
// library in a worker (mp3worker.js), so that the page stays responsive.
//
// Problems are reported in invitation.sh's own words, with the file's name
// as the organiser gave it.

import {workerTask} from './task.js';

// The music's rate and channels: the invitation's qtn.mp3 is 44.1 kHz stereo.
export const kSampleRate = 44100;
const kChannels = 2;
// The shortest music the invitation takes: the opening alone lasts 19 s.
// invitation.sh checks the same length (its min_seconds): change both.
export const kMinSeconds = 20;

// decodeMusic(name, bytes): the music as {left, right, seconds}, resampled
// to 44.1 kHz; mono is copied to both channels, more than two channels are
// mixed down by the Web Audio rules (which ffmpeg's -ac 2 also follows).
// Rejects with an Error whose message is the problem in the organiser's
// words.
export async function decodeMusic(name, bytes) {
  let decoded;
  try {
    decoded = await decodeAudio(bytes);
  } catch (e) {
    throw new Error(`${name}: cannot be decoded (${reason(e)}); export it again as MP3, OGG, FLAC or WAV`);
  }
  const seconds = decoded.length / kSampleRate;
  if (!(seconds >= kMinSeconds)) {
    throw new Error(`${name}: ${seconds.toFixed(1)} s of music, at least ${kMinSeconds} s are needed ` +
                    '(the opening lasts 19 s); give a longer piece');
  }
  const {left, right} = await toStereo(decoded);
  return {left, right, seconds};
}

// encodeMp3(left, right, onProgress): the MP3 file's bytes. onProgress gets
// the share encoded, 0 to 1, as the worker goes. The samples are copied to
// the worker: the caller's arrays stay usable.
export function encodeMp3(left, right, onProgress) {
  if (!(left instanceof Float32Array) || !(right instanceof Float32Array) || left.length !== right.length) {
    return Promise.reject(new Error('encodeMp3: two Float32Arrays of one length are needed'));
  }
  return workerTask(new URL('./mp3worker.js', import.meta.url), {left, right}, {
    result: 'mp3',
    onProgress,
    failed: (error) => error || 'the MP3 encoder stopped',
    unloaded: (message) => `the MP3 encoder could not run (${message || 'its files could not be loaded'})`,
  });
}

// The browser's decoder, at the invitation's rate: a context's decoder
// resamples to the context's own rate. Older WebKit answers only through the
// callbacks, newer browsers through the promise: both are listened to.
function decodeAudio(bytes) {
  const context = new OfflineAudioContext(kChannels, 1, kSampleRate);
  // The decoder takes the buffer over (detaches it): it gets a copy.
  const copy = bytes.slice().buffer;
  return new Promise((resolve, reject) => {
    const promise = context.decodeAudioData(copy, resolve, reject);
    if (promise && promise.then) promise.then(resolve, reject);
  });
}

// The decoder's reason, or what is sure when it gives none (WebKit rejects
// with null).
function reason(e) {
  const text = e && e.message ? String(e.message).trim().replace(/\.$/, '') : '';
  return text || 'the browser does not read this format';
}

// {left, right}: two channels as they are, mono copied to both (two arrays
// of their own), others played through a stereo context, whose mixing folds
// surround into left and right.
async function toStereo(buffer) {
  let stereo = buffer;
  if (buffer.numberOfChannels === 1) {
    const mono = buffer.getChannelData(0);
    return {left: mono, right: mono.slice()};
  }
  if (buffer.numberOfChannels !== kChannels) {
    const context = new OfflineAudioContext(kChannels, buffer.length, kSampleRate);
    const source = context.createBufferSource();
    source.buffer = buffer;
    source.connect(context.destination);
    source.start();
    stereo = await context.startRendering();
  }
  return {left: stereo.getChannelData(0), right: stereo.getChannelData(1)};
}
