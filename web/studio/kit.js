// kit.js: the party kit for the studio page, the same code and bytes as the
// command line's, run in a worker (kitworker.js) so that the page stays
// responsive while pictures are lettered and zips packed. Every call is
// served in the order made; files are plain objects {path: Uint8Array};
// an Error's message says what is wrong and what to do, in the kit's words.
// The worker starts loading the kit (kit/velmora2k-studio.js, .wasm and
// kit/base.zip beside this module) when the module is imported.

const worker = new Worker(new URL('./kitworker.js', import.meta.url));
const waiting = new Map();
let nextId = 1;
// Set when the worker itself failed (its script could not be loaded): every
// call is refused with it.
let failed = null;

worker.onmessage = ({ data: { id, result, error } }) => {
  const call = waiting.get(id);
  if (!call) return;
  waiting.delete(id);
  if (error === undefined) call.resolve(result);
  else call.reject(new Error(error));
};

worker.onerror = (event) => {
  event.preventDefault?.();
  failed = `the kit could not be started (${event.message || 'its script did not load'}); reload the page`;
  for (const call of waiting.values()) call.reject(new Error(failed));
  waiting.clear();
};

function call(name, args = {}) {
  if (failed) return Promise.reject(new Error(failed));
  return new Promise((resolve, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve, reject });
    worker.postMessage({ id, call: name, args });
  });
}

const started = call('ready');
started.catch(() => {}); // reported by ready() and by every call

// The kit's module and base files loaded.
export function ready() {
  return started;
}

// The files of a zip's bytes, paths as stored.
export function readZip(bytes) {
  return call('readZip', { bytes });
}

// {facts, problems}: the party's facts (derived ones filled in: title,
// slug, music_file) and every problem {file, line, column, message,
// warning, text} of its folder.
export function check(files) {
  return call('check', { files });
}

// {facts, problems, pak, music}: pak.pak and the qtn.mp3 the data holds
// (music, the party's MP3, or the invitation's own when null); pak and
// music are null when a problem stops the data being made.
export function make(files, music) {
  return call('make', { files, music: music ?? null });
}

// {facts, problems, files}: SLUG-win64.zip (from windowsZip, our Windows
// zip), SLUG-web.zip (from webZip, our web site's zip) and SHA256SUMS of
// them, entries dated time (seconds since 1970); files is {} when a
// problem stops the data being made.
export function release(files, music, { windowsZip = null, webZip = null, time } = {}) {
  return call('release', { files, music: music ?? null, ours: { windowsZip, webZip, time } });
}

// The files as a zip, under top/ unless top is '', dated time.
export function writeZip(files, top, time) {
  return call('writeZip', { files, top, time });
}

// {script, frames}: the capture tool's script of a visit of every page at
// fps frames a second, and the preview sheet's frames.
export function visit(fps) {
  return call('visit', { fps });
}
