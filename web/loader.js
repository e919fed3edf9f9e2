// Loader: downloads the files the invitation needs, one at a time in the
// order they are asked for (the program and the archive before the music),
// so the first ones arrive as early as the link allows.
//
// Contract:
// - names() -> the files the site lists, in the order the page needs them
//   (cmake/webapp.cmake's web_downloads).
// - load(name) -> Promise of a Uint8Array with the file's bytes. The site's
//   index.html lists every file with its size and version stamp; the file is
//   asked for as NAME?v=STAMP (a cache never mixes versions) and must arrive
//   with exactly the listed size.
// - A file the server does not have (HTTP 404) settles as null: the program
//   then reports it missing as it does on the desktop. Any other failure (no
//   connection, an HTTP error, a transfer cut short or too long) rejects with
//   a LoadError whose message says which file and what happened; the failure
//   is not kept: the next load(name) downloads again, past the HTTP cache.
// - progress(names) -> {done, total} bytes over those files, counting the
//   ones still waiting their turn; onProgress(fn) calls fn as bytes arrive.
// - Bytes that arrived whole are kept for the visit ("play again" needs them).

export class LoadError extends Error {}

function siteFiles() {
  const el = document.getElementById('site-files');
  try {
    return el ? JSON.parse(el.textContent) : {};
  } catch (e) {
    return {};
  }
}

const listed = siteFiles();
const files = new Map();  // name -> {done, total, promise}
const attempts = new Map();  // name -> downloads started, kept past failures
const listeners = [];
let queue = Promise.resolve();

function notify() {
  for (const fn of listeners) fn();
}

async function download(name, entry) {
  const tries = (attempts.get(name) || 0) + 1;
  attempts.set(name, tries);
  const url = entry ? `${name}?v=${entry.stamp}` : name;
  let response;
  try {
    // After a failure the HTTP cache may hold the broken copy: go past it.
    response = await fetch(url, {cache: tries > 1 ? 'reload' : 'default'});
  } catch (e) {
    throw new LoadError(`${name} could not be downloaded: the connection failed.`);
  }
  if (response.status === 404) return null;
  if (!response.ok) throw new LoadError(`${name} could not be downloaded: the server answered ${response.status}.`);
  const f = files.get(name);
  const size = entry ? entry.size : Number(response.headers.get('Content-Length')) || 0;
  f.total = size;
  const chunks = [];
  let received = 0;
  try {
    const reader = response.body.getReader();
    for (;;) {
      const {done, value} = await reader.read();
      if (done) break;
      chunks.push(value);
      received += value.length;
      f.done = received;
      notify();
    }
  } catch (e) {
    throw new LoadError(`${name} arrived incomplete (${received} of ${size} bytes): the connection broke off.`);
  }
  if (entry && received !== size) {
    throw new LoadError(`${name} arrived incomplete (${received} of ${size} bytes).`);
  }
  const bytes = new Uint8Array(received);
  let at = 0;
  for (const c of chunks) {
    bytes.set(c, at);
    at += c.length;
  }
  return bytes;
}

export function names() {
  return Object.keys(listed);
}

export function load(name) {
  const known = files.get(name);
  if (known) return known.promise;
  const entry = listed[name];
  const f = {done: 0, total: entry ? entry.size : 0, promise: null};
  files.set(name, f);
  f.promise = queue.then(() => download(name, entry));
  f.promise.catch(() => {
    if (files.get(name) === f) files.delete(name);
    notify();
  });
  queue = f.promise.catch(() => {});
  return f.promise;
}

export function progress(names) {
  let done = 0;
  let total = 0;
  for (const name of names) {
    const f = files.get(name);
    const size = f ? f.total : (listed[name] ? listed[name].size : 0);
    total += size;
    if (f) done += Math.min(f.done, size || f.done);
  }
  return {done, total};
}

export function onProgress(fn) {
  listeners.push(fn);
}
