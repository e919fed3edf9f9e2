// kitworker.js: the party kit's worker (kit.js is the page's side). It
// loads the kit's module and base files from kit/ beside itself and serves
// the calls one at a time, in the order they come:
//   in   {id, call, args}
//   out  {id, result} or {id, error: "what is wrong; what to do"}
// Files cross as plain objects {path: Uint8Array}; the bytes made here are
// transferred, not copied.
'use strict';

importScripts('kit/velmora2k-studio.js');

const kitUrl = (name) => new URL('kit/' + name, self.location.href).href;

async function fetchBytes(name) {
  let response;
  try {
    response = await fetch(kitUrl(name));
  } catch (error) {
    throw new Error(`kit/${name} could not be loaded (${error.message}); reload the page`);
  }
  if (!response.ok) throw new Error(`kit/${name} could not be loaded (HTTP ${response.status}); reload the page`);
  return new Uint8Array(await response.arrayBuffer());
}

let kit = null;
// Set when the module has stopped (out of memory, a fault): every later
// call is refused with it.
let stopped = null;

const started = (async () => {
  const [wasm, base] = await Promise.all([fetchBytes('velmora2k-studio.wasm'), fetchBytes('base.zip')]);
  kit = await createVelmoraKit({ wasmBinary: wasm });
  kit._studio_clear();
  put('input', 'zip', base);
  run('studio_base');
})();
started.catch(() => {}); // answered to every call

function withString(text, use) {
  const size = kit.lengthBytesUTF8(text) + 1;
  const at = kit._malloc(size);
  try {
    kit.stringToUTF8(text, at, size);
    return use(at);
  } finally {
    kit._free(at);
  }
}

function bytesOf(value, name) {
  if (!(value instanceof Uint8Array)) throw new Error(`${name} is not a file's bytes; give it as a Uint8Array`);
  return value;
}

// A file into the module's slot ("folder" or "input"; see
// tools/velmora2k_studio_kit.cpp).
function put(slot, name, value) {
  const bytes = bytesOf(value, name);
  const at = kit._malloc(Math.max(bytes.length, 1));
  if (!at) throw new Error(`${name} does not fit in the page's memory; give a smaller file`);
  try {
    kit.HEAPU8.set(bytes, at);
    const code = withString(slot, (s) => withString(name, (n) => kit._studio_put(s, n, at, bytes.length)));
    if (code !== 0) throw new Error(answer().error);
  } finally {
    kit._free(at);
  }
}

function putFolder(files) {
  if (files === null || typeof files !== 'object') throw new Error('the party folder is not a set of files; open it again');
  for (const [path, bytes] of Object.entries(files)) put('folder', path, bytes);
}

function answer() {
  return JSON.parse(kit.UTF8ToString(kit._studio_json()));
}

// Runs a command of the module; its JSON answer, or an Error with its message.
function run(command, ...args) {
  const code = kit['_' + command](...args);
  const result = answer();
  if (code !== 0) throw new Error(result.error);
  return result;
}

// The command's byte buffers, by name.
function outputs() {
  const files = {};
  const count = kit._studio_output_count();
  for (let i = 0; i < count; i++) {
    const at = kit._studio_output_data(i);
    files[kit.UTF8ToString(kit._studio_output_name(i))] = kit.HEAPU8.slice(at, at + (kit._studio_output_size(i) >>> 0));
  }
  return files;
}

// The party folder, the music and our release files into the module.
function begin(files, music, ours = {}) {
  kit._studio_clear();
  putFolder(files);
  if (music) put('input', 'music', music);
  if (ours.windowsZip) put('input', 'windows', ours.windowsZip);
  if (ours.webZip) put('input', 'web', ours.webZip);
}

function report(result) {
  return { facts: result.facts, problems: result.problems };
}

const calls = {
  ready() {},
  readZip({ bytes }) {
    kit._studio_clear();
    put('input', 'zip', bytes);
    run('studio_read_zip');
    return outputs();
  },
  check({ files }) {
    begin(files, null);
    return report(run('studio_check'));
  },
  make({ files, music }) {
    begin(files, music);
    const result = report(run('studio_make'));
    const made = outputs();
    return { ...result, pak: made['pak.pak'] ?? null, music: made['qtn.mp3'] ?? null };
  },
  release({ files, music, ours }) {
    begin(files, music, ours);
    const result = report(run('studio_release', Number(ours.time)));
    return { ...result, files: outputs() };
  },
  writeZip({ files, top, time }) {
    begin(files, null);
    withString(String(top ?? ''), (t) => run('studio_write_zip', t, Number(time)));
    return outputs().zip;
  },
  visit({ fps }) {
    // Anything but a whole number of a C int's range is refused as 0.
    return run('studio_visit', Number.isSafeInteger(fps) && Math.abs(fps) < 2 ** 31 ? fps : 0);
  },
};

// Every byte buffer of a result, to be transferred.
function buffers(value, list = []) {
  if (value instanceof Uint8Array) list.push(value.buffer);
  else if (value && typeof value === 'object') for (const v of Object.values(value)) buffers(v, list);
  return list;
}

self.onmessage = async ({ data: { id, call, args } }) => {
  try {
    await started;
    if (stopped) throw new Error(stopped);
    if (!Object.hasOwn(calls, call)) throw new Error(`the kit has no call ${call}; reload the page`);
    const result = calls[call](args);
    self.postMessage({ id, result }, buffers(result));
  } catch (error) {
    if (error instanceof WebAssembly.RuntimeError) stopped = `the kit stopped (${error.message}); reload the page`;
    self.postMessage({ id, error: stopped ?? String(error?.message ?? error) });
  } finally {
    if (kit && !stopped) kit._studio_clear();
  }
};
