// The studio page's kit (STUDIO_DIR/kit.js and its worker) driven under
// node as a browser runs it: kit.js imported as it is, its worker a thread
// with a worker's globals (self, importScripts, fetch of the files beside
// it). What the kit gives is written into OUT_DIR for studio_kit.test.sh to
// compare with the command line's:
//   example/            readZip(example.zip)
//   example.zip         writeZip of those files, no top folder, dated 1980
//   facts.txt           check(): "key: value" lines, in key order
//   pak.pak, qtn.mp3    make() with MUSIC
//   own.mp3             make() without music: the invitation's own
//   release/            release() with our site (SITE_DIR zipped) at TIME
//   faulty.txt          check() of FAULTY_DIR: each problem's text
//   faulty.json         its problems as given, and make()'s pak
//   visit.txt, frames.txt   visit(30)
//   refused.txt         the messages of calls the kit refuses
//   after.txt           the frames of a visit asked for after them
// Usage: node studio_kit.mjs STUDIO_DIR MUSIC FAULTY_DIR SITE_DIR TIME OUT_DIR
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { Worker as Thread } from 'node:worker_threads';

const [studio, musicFile, faultyDir, siteDir, timeText, out] = process.argv.slice(2);
const time = Number(timeText);
const zipTime1980 = 315532800;

// A worker's global scope over a node thread.
const workerScope = `
  const { parentPort, workerData } = require('node:worker_threads');
  const fs = require('node:fs');
  const vm = require('node:vm');
  const { fileURLToPath } = require('node:url');
  globalThis.self = globalThis;
  globalThis.location = { href: workerData.url };
  globalThis.postMessage = (message, transfer) => parentPort.postMessage(message, transfer);
  globalThis.importScripts = (...urls) => {
    for (const url of urls) {
      const file = fileURLToPath(new URL(url, workerData.url));
      vm.runInThisContext(fs.readFileSync(file, 'utf8'), { filename: file });
    }
  };
  globalThis.fetch = async (url) => {
    let bytes;
    try { bytes = fs.readFileSync(fileURLToPath(url)); } catch { return { ok: false, status: 404 }; }
    return { ok: true, status: 200, arrayBuffer: async () => bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length) };
  };
  parentPort.on('message', (data) => self.onmessage({ data }));
  importScripts(workerData.url);
`;

globalThis.Worker = class {
  constructor(url) {
    this.thread = new Thread(workerScope, { eval: true, workerData: { url: String(url) } });
    this.thread.on('message', (data) => this.onmessage?.({ data }));
    this.thread.on('error', (error) => this.onerror?.({ message: error.message }));
  }
  postMessage(message) {
    this.thread.postMessage(message);
  }
};

// Every file under folder (hidden ones aside, as the kit reads folders).
function readFolder(folder, prefix = '', files = {}) {
  for (const entry of fs.readdirSync(path.join(folder, prefix), { withFileTypes: true })) {
    if (entry.name.startsWith('.')) continue;
    const name = prefix ? `${prefix}/${entry.name}` : entry.name;
    if (entry.isDirectory()) readFolder(folder, name, files);
    else files[name] = new Uint8Array(fs.readFileSync(path.join(folder, name)));
  }
  return files;
}

function writeFolder(folder, files) {
  for (const [name, bytes] of Object.entries(files)) {
    fs.mkdirSync(path.dirname(path.join(folder, name)), { recursive: true });
    fs.writeFileSync(path.join(folder, name), bytes);
  }
}

const write = (name, bytes) => fs.writeFileSync(path.join(out, name), bytes);
const seconds = (since) => ((performance.now() - since) / 1000).toFixed(2);

async function refusal(promise) {
  try {
    await promise;
    return 'not refused';
  } catch (error) {
    return error.message;
  }
}

const kit = await import(pathToFileURL(path.join(studio, 'kit.js')));
let since = performance.now();
await kit.ready();
console.log(`ready: ${seconds(since)} s`);

const music = new Uint8Array(fs.readFileSync(musicFile));
const files = await kit.readZip(new Uint8Array(fs.readFileSync(path.join(studio, 'example.zip'))));
writeFolder(path.join(out, 'example'), files);
write('example.zip', await kit.writeZip(files, '', zipTime1980));

since = performance.now();
const checked = await kit.check(files);
console.log(`check: ${seconds(since)} s`);
write('facts.txt', Object.keys(checked.facts).sort().map((key) => `${key}: ${checked.facts[key]}\n`).join(''));

since = performance.now();
const made = await kit.make(files, music);
console.log(`make: ${seconds(since)} s`);
write('pak.pak', made.pak);
write('qtn.mp3', made.music);
write('own.mp3', (await kit.make(files, null)).music);

const webZip = await kit.writeZip(readFolder(siteDir), '', time);
const released = await kit.release(files, music, { webZip, time });
writeFolder(path.join(out, 'release'), released.files);

const faulty = readFolder(faultyDir);
const problems = (await kit.check(faulty)).problems;
write('faulty.txt', problems.map((p) => p.text + '\n').join(''));
write('faulty.json', JSON.stringify({ problems, pak: (await kit.make(faulty, music)).pak }, null, 1));

const visited = await kit.visit(30);
write('visit.txt', visited.script);
write('frames.txt', visited.frames.join(',') + '\n');

// Calls the kit refuses, then one it serves: a refusal leaves it working.
const refused = [
  await refusal(kit.readZip(new Uint8Array([0x50, 0x4b, 3, 4, 1, 2, 3]))),
  await refusal(kit.visit(25)),
  await refusal(kit.writeZip({ '../party.txt': new Uint8Array(1) }, '', zipTime1980)),
  await refusal(kit.check({ 'party.txt': 'not bytes' })),
  await refusal(kit.release(files, music, { webZip: new Uint8Array(10), time })),
  await refusal(kit.release(files, music, { time: undefined })),
];
write('refused.txt', refused.map((m) => m + '\n').join(''));
write('after.txt', `${(await kit.visit(10)).frames.length}\n`);
// The worker thread would keep node running.
process.exit(0);
