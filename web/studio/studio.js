// The studio (the entry module): a party folder opened, edited in the form,
// made into the invitation's data by the kit at every change and played by
// the preview, kept in the browser's storage, and made into the release
// files on request.
//
// The folder is a plain object {path: Uint8Array}, as the kit reads it; the
// form writes into it (party.txt line by line, the pages whole, pictures and
// music as files), so what the organiser downloads as their folder is what
// the command line would read.
import * as kit from './kit.js';
import * as mp3 from './mp3.js';
import * as sheet from './sheet.js';
import * as preview from './preview.js';
import * as P from './party.js';
import * as store from './store.js';

const kLayout = await preview.layout;
const kPages = kLayout.pages;
const kPictureKinds = ['logo', 'loading', 'icon'];
const kPictureExtensions = ['png', 'jpg', 'jpeg'];
const kSaveDelayMs = 400;
// The preview sheet is played at this rate (as the command line does).
const kSheetFps = 10;
const kExample = new URL('./example.zip', import.meta.url);
const kRelease = new URL('./release.json', import.meta.url);

const $ = (id) => document.getElementById(id);
const now = () => Math.floor(Date.now() / 1000);

let folder = {};
let facts = {};
let problems = [];
let musicProblem = null;
let music = null;  // {key, mp3}: the party's music as the invitation plays it
let encoding = null;  // the key of the music being encoded
let changedAt = 0;
let keptAt = 0;
let at = 'opening';  // where the preview goes: 'opening', 'menu' or a page
// {pak, music, changedAt, folder, mp3}: the data of the last folder without
// problems, with the folder object and MP3 it was made from.
let made = null;
let links = [];  // object URLs of the downloads on show

// ---- Sizes and statuses.

function sizeText(n) {
  if (n < 1024) return `${n} bytes`;
  if (n < 1024 * 1024) return `${(n / 1024).toFixed(1)} KB`;
  return `${(n / 1024 / 1024).toFixed(1)} MB`;
}

function status(id, text) {
  $(id).textContent = text;
}

// ---- The form from the folder.

function pageFile(page) {
  return `pages/${page}.txt`;
}

function buildPageFields() {
  const box = $('page-fields');
  for (const page of kPages) {
    const button = kLayout.buttons.find((b) => b.name === page);
    const field = document.createElement('div');
    field.className = 'field';
    field.dataset.file = pageFile(page);
    field.dataset.at = page;
    const label = document.createElement('label');
    label.htmlFor = `p-${page}`;
    label.textContent = `${button ? button.label : page} (${pageFile(page)})`;
    const area = document.createElement('textarea');
    area.id = `p-${page}`;
    area.rows = 12;
    area.spellcheck = true;
    area.dataset.file = pageFile(page);
    field.append(label, area);
    box.append(field);
  }
}

function fieldProblemList(field) {
  let list = field.querySelector('ul.problems');
  if (!list) {
    list = document.createElement('ul');
    list.className = 'problems';
    list.id = `${field.querySelector('input, textarea')?.id || field.dataset.key}-problems`;
    field.append(list);
    const control = field.querySelector('input, textarea');
    if (control) control.setAttribute('aria-describedby', list.id);
  }
  return list;
}

function fillForm() {
  const v = P.values(folder);
  for (const input of $('facts').querySelectorAll('input, textarea')) {
    input.value = v[input.name] ? v[input.name].value : '';
  }
  for (const page of kPages) $(`p-${page}`).value = P.text(folder[pageFile(page)]);
  showFiles();
}

// The derived facts as the placeholders of the fields left empty.
function showDerived() {
  for (const input of $('facts').querySelectorAll('input, textarea')) {
    if (input.name === 'site') continue;
    input.placeholder = facts[input.name] ? `${facts[input.name]}` : '';
  }
}

function pictureFile(kind) {
  return Object.keys(folder).find((p) => kPictureExtensions.some((e) => p === `${kind}.${e}`));
}

function showFiles() {
  for (const kind of kPictureKinds) {
    const file = pictureFile(kind);
    status(`${kind}-now`, file ? `${file}, ${sizeText(folder[file].length)}` : 'none: the kit makes it from the facts');
  }
  const file = facts.music_file;
  if (file && folder[file]) {
    const state = music && music.key === musicKey() ? `, ${sizeText(music.mp3.length)} as MP3` : '';
    status('music-now', `${file}, ${sizeText(folder[file].length)}${state}`);
  } else {
    status('music-now', 'the invitation\'s own soundtrack');
  }
}

// ---- Problems, each at its field (or the page's line) in the kit's words.

function problemField(p) {
  if (p.file === P.kPartyFile) {
    const key = p.line ? P.keyAt(folder, p.line) : (/"([a-z_]+):"/.exec(p.message) || [])[1];
    return document.querySelector(`.field[data-key="${key}"]`);
  }
  const page = document.querySelector(`.field[data-file="${CSS.escape(p.file)}"]`);
  if (page) return page;
  const picture = /^(logo|loading|icon)\.[^/]*$/.exec(p.file);
  if (picture) return document.querySelector(`.field[data-key="${picture[1]}"]`);
  if (p.file === facts.music_file) return document.querySelector('.field[data-key="music"]');
  return null;
}

function showProblems() {
  for (const list of document.querySelectorAll('ul.problems')) list.replaceChildren();
  for (const control of document.querySelectorAll('[aria-invalid]')) control.removeAttribute('aria-invalid');
  const all = [...problems];
  if (musicProblem) all.push({file: facts.music_file, message: musicProblem, text: musicProblem, warning: false});
  for (const p of all) {
    const field = problemField(p);
    const list = field && !field.hidden ? fieldProblemList(field) : $('general-problems');
    const item = document.createElement('li');
    item.textContent = p.text;
    if (p.warning) item.className = 'warning';
    list.append(item);
    if (field && !p.warning) {
      field.querySelector('input, textarea')?.setAttribute('aria-invalid', 'true');
      const details = field.closest('details');
      if (details) details.open = true;
    }
  }
}

const errors = () => problems.filter((p) => !p.warning).length + (musicProblem ? 1 : 0);

// ---- The music: decoded by the browser, encoded to the program's MP3.

// A quick fingerprint of the chosen music's bytes, so that its MP3 is made
// once (and kept across reloads).
// Worked out once per file's bytes (an edit elsewhere keeps them as they
// are), not at every keystroke.
const fingerprints = new WeakMap();
function musicKey() {
  const file = facts.music_file;
  const data = file && folder[file];
  if (!data) return null;
  if (!fingerprints.has(data)) {
    let h = 2166136261;
    for (let i = 0; i < data.length; i += 1) h = Math.imul(h ^ data[i], 16777619);
    fingerprints.set(data, (h >>> 0).toString(16));
  }
  return `${file}:${data.length}:${fingerprints.get(data)}`;
}

function partyMusic() {
  return music && music.key === musicKey() ? music.mp3 : null;
}

async function encodeMusic() {
  const key = musicKey();
  if (!key || encoding === key || (music && music.key === key)) return;
  const file = facts.music_file;
  encoding = key;
  musicProblem = null;
  const bar = $('music-progress');
  bar.hidden = false;
  bar.value = 0;
  status('music-now', `${file}: decoding…`);
  try {
    const pcm = await mp3.decodeMusic(file, folder[file]);
    if (encoding !== key) return;
    status('music-now', `${file}: encoding ${pcm.seconds.toFixed(1)} s as MP3…`);
    const bytes = await mp3.encodeMp3(pcm.left, pcm.right, (f) => {
      bar.value = f;
    });
    if (encoding !== key) return;
    music = {key, mp3: bytes};
    scheduleSave();
    remake();
  } catch (e) {
    if (encoding !== key) return;
    musicProblem = e.message;
    showProblems();
    if (current) {
      status('preview-status', 'The preview plays the invitation\'s own music: yours cannot be used (marked in red).');
    } else {
      problemStatus();
    }
  } finally {
    if (encoding === key) {
      encoding = null;
      bar.hidden = true;
      showFiles();
    }
  }
}

// ---- Making the data at every change, one make at a time: changes made
// meanwhile are made together next.

let making = false;
let again = false;
let current = false;  // the preview plays the folder as it stands

// The preview's status while problems are marked, counting what is marked
// (the music's problem comes after the make). Typing may have skipped
// versions, so the one shown is "an earlier" one, not the last good one.
function problemStatus() {
  const count = errors() === 1 ? 'the problem' : `the ${errors()} problems`;
  status('preview-status', made ? `The preview shows an earlier version; mend ${count} marked in red to see your changes.` :
    `The preview starts once ${count} marked in red are mended.`);
}

async function remake() {
  if (making) {
    again = true;
    return;
  }
  making = true;
  try {
    do {
      again = false;
      const target = at;
      const madeAt = changedAt;
      const source = folder;
      const mp3 = partyMusic();
      const r = await kit.make(source, mp3);
      facts = r.facts;
      problems = r.problems;
      showDerived();
      showProblems();
      showFiles();
      encodeMusic();
      current = Boolean(r.pak);
      if (r.pak) {
        made = {pak: r.pak, music: r.music, changedAt: madeAt, folder: source, mp3};
        status('preview-status', partyMusic() || !facts.music_file ? '' :
          'The preview plays the invitation\'s own music until yours is encoded.');
        preview.show({pak: r.pak, music: r.music, at: target});
      } else {
        problemStatus();
      }
    } while (again);
  } catch (e) {
    status('preview-status', e.message);
  } finally {
    making = false;
  }
}

function changed(target) {
  changedAt = now();
  at = target;
  clearDownloads('Your folder changed: make the downloads again.');
  scheduleSave();
  remake();
}

// ---- Keeping the work in the browser.

let saveTimer = 0;
function record() {
  return {folder, music, changedAt, keptAt};
}
function scheduleSave() {
  clearTimeout(saveTimer);
  saveTimer = setTimeout(() => store.save(store.kCurrent, record()), kSaveDelayMs);
}

async function restore() {
  const kept = await store.load(store.kCurrent);
  if (!kept || !kept.folder || !Object.keys(kept.folder).length) {
    status('folder-status', 'Open your party\'s folder, or start from the example party.');
    status('preview-status', 'Your invitation plays here once a party\'s folder is open.');
    return;
  }
  ({folder, music, changedAt, keptAt} = kept);
  fillForm();
  status('folder-status', `Your work of ${new Date(changedAt * 1000).toLocaleString()} is back: ` +
    `${Object.keys(folder).length} files, ${sizeText(P.size(folder))}.`);
  $('restore').hidden = !(await store.load(store.kBefore));
  at = 'opening';
  remake();
}

window.addEventListener('beforeunload', (e) => {
  if (changedAt > keptAt) {
    e.preventDefault();
    e.returnValue = '';
  }
});

// ---- Opening a folder: a zip, a folder pick, a drop or the example.

// kept: the music and times of work brought back, set before its first
// preview is made (which would otherwise play the invitation's own music).
async function open(newFolder, name, kept = null) {
  if (Object.keys(folder).length && changedAt > keptAt) {
    await store.save(store.kBefore, record());
    $('restore').hidden = false;
  }
  folder = P.fromTop(newFolder);
  music = kept ? kept.music : null;
  // an encoding of the last folder's music still running is dropped, and so
  // is its progress
  encoding = null;
  $('music-progress').hidden = true;
  status('music-now', '');
  musicProblem = null;
  facts = {};
  changedAt = kept ? kept.changedAt : now();
  keptAt = kept ? kept.keptAt : changedAt;
  fillForm();
  status('folder-status', `${name}: ${Object.keys(folder).length} files, ${sizeText(P.size(folder))}.`);
  clearDownloads('');
  at = 'opening';
  scheduleSave();
  remake();
}

async function openZip(bytes, name) {
  try {
    await open(await kit.readZip(bytes), name);
  } catch (e) {
    status('folder-status', `${name}: ${e.message}`);
  }
}

async function openFiles(list) {
  const files = {};
  for (const f of list) files[f.webkitRelativePath || f.name] = new Uint8Array(await f.arrayBuffer());
  const names = Object.keys(files);
  await open(files, names.length ? names[0].split('/')[0] : 'the folder');
}

// A dropped folder's files through the entries API (every engine has it).
function readEntry(entry, into) {
  if (entry.isFile) {
    return new Promise((resolve, reject) => entry.file(async (f) => {
      into[entry.fullPath.replace(/^\//, '')] = new Uint8Array(await f.arrayBuffer());
      resolve();
    }, reject));
  }
  const reader = entry.createReader();
  const batch = () => new Promise((resolve, reject) => reader.readEntries(resolve, reject));
  return (async () => {
    for (let entries = await batch(); entries.length; entries = await batch()) {
      for (const child of entries) await readEntry(child, into);
    }
  })();
}

async function dropped(transfer) {
  const entries = [...transfer.items].map((i) => i.webkitGetAsEntry && i.webkitGetAsEntry()).filter(Boolean);
  const file = transfer.files[0];
  if (entries.length === 1 && entries[0].isDirectory) {
    const files = {};
    await readEntry(entries[0], files);
    await open(files, entries[0].name);
  } else if (file) {
    await openZip(new Uint8Array(await file.arrayBuffer()), file.name);
  }
}

// ---- Editing.

// The times of the organiser's edits, for the timing trace.
const edits = [];

function onFact(e) {
  edits.push(performance.now());
  const input = e.target;
  if (!input.name) return;
  folder = P.withValue(folder, input.name, input.value);
  changed(input.closest('.field').dataset.at || 'menu');
}

function onPage(e) {
  edits.push(performance.now());
  const area = e.target;
  folder = {...folder, [area.dataset.file]: P.bytes(area.value)};
  changed(area.closest('.field').dataset.at);
}

async function onPicture(kind, input) {
  const f = input.files[0];
  if (!f) return;
  const ext = (/\.([a-z]+)$/i.exec(f.name) || [, 'png'])[1].toLowerCase();
  const data = new Uint8Array(await f.arrayBuffer());
  folder = P.without(folder, (p) => kPictureExtensions.some((x) => p === `${kind}.${x}`));
  folder[`${kind}.${ext}`] = data;
  input.value = '';
  changed(input.closest('.field').dataset.at);
}

async function onMusic(input) {
  const f = input.files[0];
  if (!f) return;
  const ext = (/\.([a-z0-9]+)$/i.exec(f.name) || [, 'mp3'])[1].toLowerCase();
  const name = `music.${ext}`;
  const old = facts.music_file;
  folder = P.without(folder, (p) => p === old);
  folder[name] = new Uint8Array(await f.arrayBuffer());
  if (P.values(folder).music) folder = P.withValue(folder, 'music', name);
  input.value = '';
  changed('opening');
}

function onMusicDefault() {
  const old = facts.music_file;
  folder = P.withValue(P.without(folder, (p) => p === old), 'music', 'default');
  fillForm();
  changed('opening');
}

// ---- Downloads: made on request, from the release programs fetched then.

function clearDownloads(text) {
  for (const url of links) URL.revokeObjectURL(url);
  links = [];
  $('download-links').replaceChildren();
  status('downloads-status', text);
}

async function fetchWithProgress(url, size, onBytes) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url.pathname.split('/').pop()} could not be fetched (${response.status}).`);
  const reader = response.body.getReader();
  const chunks = [];
  let got = 0;
  for (;;) {
    const {done, value} = await reader.read();
    if (done) break;
    chunks.push(value);
    got += value.length;
    onBytes(value.length);
  }
  const out = new Uint8Array(got);
  let offset = 0;
  for (const c of chunks) {
    out.set(c, offset);
    offset += c.length;
  }
  if (size && got !== size) throw new Error(`${url.pathname.split('/').pop()} arrived incomplete (${got} of ${size} bytes).`);
  return out;
}

// release.json: {windows, web}, each {file, size} or null, and their total.
let listing = null;
function releaseList() {
  if (!listing) {
    listing = fetch(kRelease).then((r) => r.json()).then((list) => ({
      ...list, total: (list.windows ? list.windows.size : 0) + (list.web ? list.web.size : 0),
    }));
    listing.catch(() => {
      listing = null;
    });
  }
  return listing;
}

let programs = null;  // Promise of {windows, web}: each the zip's bytes or null
function releasePrograms(onFraction) {
  if (programs) return programs;
  programs = (async () => {
    const list = await releaseList();
    const total = list.total;
    let done = 0;
    const one = async (entry) => entry ? fetchWithProgress(new URL(entry.file, kRelease), entry.size, (n) => {
      done += n;
      onFraction(done / total);
    }) : null;
    return {windows: await one(list.windows), web: await one(list.web)};
  })();
  programs.catch(() => {
    programs = null;
  });
  return programs;
}

function addLink(name, data, type) {
  const blob = data instanceof Blob ? data : new Blob([data], {type});
  const url = URL.createObjectURL(blob);
  links.push(url);
  const item = document.createElement('li');
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  a.textContent = name;
  const size = document.createElement('span');
  size.textContent = sizeText(blob.size);
  item.append(a, size);
  $('download-links').append(item);
  return a;
}

async function makeDownloads() {
  if (errors()) {
    status('downloads-status', `Mend the ${errors() === 1 ? 'problem' : `${errors()} problems`} marked in red first.`);
    return;
  }
  if (facts.music_file && !partyMusic()) {
    status('downloads-status', 'The music is still being encoded: make the downloads once it is done.');
    return;
  }
  const button = $('make-downloads');
  const bar = $('downloads-progress');
  button.disabled = true;
  bar.hidden = false;
  bar.value = 0;
  clearDownloads('Fetching the release programs…');
  // One version of the folder for every file: an edit while they are made
  // replaces the folder object (and its music), so they are read once here
  // and the edit is told by the object, not by the clock's second.
  const madeAt = changedAt;
  const source = folder;
  const mp3 = partyMusic();
  try {
    const got = await releasePrograms((f) => {
      bar.value = 0.6 * f;
    });
    status('downloads-status', 'Making the release files…');
    const r = await kit.release(source, mp3, {windowsZip: got.windows, webZip: got.web, time: madeAt});
    bar.value = 0.7;
    const slug = r.facts.slug;
    const kept = await kit.writeZip(source, `${slug}-party`, madeAt);
    // The data of this folder, made already unless it changed since.
    const data = made && made.folder === source && made.mp3 === mp3 ? made : await kit.make(source, mp3);
    status('downloads-status', 'Capturing the preview sheet…');
    const visit = await kit.visit(kSheetFps);
    const picture = await sheet.makeSheet(data.pak, data.music, visit, (f) => {
      bar.value = 0.75 + 0.25 * f;
    });
    if (folder !== source || partyMusic() !== mp3) {
      status('downloads-status', 'Your folder changed meanwhile: make the downloads again.');
      return;
    }
    for (const [name, bytes] of Object.entries(r.files)) {
      addLink(name, bytes, name.endsWith('.zip') ? 'application/zip' : 'text/plain');
    }
    addLink(`${slug}-party.zip`, kept, 'application/zip').addEventListener('click', () => {
      keptAt = changedAt;
      scheduleSave();
    });
    addLink(`${slug}-preview.png`, picture, 'image/png');
    const missing = got.windows ? '' : ' This studio was built without the Windows programs, so it makes no Windows zip.';
    status('downloads-status', `Ready: ${links.length} files.${missing}`);
  } catch (e) {
    status('downloads-status', e.message);
  } finally {
    button.disabled = false;
    bar.hidden = true;
  }
}

async function showProgramsSize() {
  try {
    status('programs-size', sizeText((await releaseList()).total));
  } catch (e) {
    status('programs-size', 'unknown');
  }
}

// ---- Wiring.

buildPageFields();
$('facts').addEventListener('input', onFact);
$('facts').addEventListener('submit', (e) => e.preventDefault());
$('page-fields').addEventListener('input', onPage);
$('page-fields').addEventListener('focusin', (e) => {
  const field = e.target.closest('.field');
  if (field && at !== field.dataset.at && made) {
    at = field.dataset.at;
    preview.show({...made, at});
  }
});
for (const kind of kPictureKinds) $(`f-${kind}`).addEventListener('change', (e) => onPicture(kind, e.target));
for (const button of document.querySelectorAll('button[data-remove]')) {
  button.addEventListener('click', () => {
    const kind = button.dataset.remove;
    if (!pictureFile(kind)) return;
    folder = P.without(folder, (p) => p === pictureFile(kind));
    changed(button.closest('.field').dataset.at);
  });
}
$('f-music').addEventListener('change', (e) => onMusic(e.target));
$('music-default').addEventListener('click', onMusicDefault);
$('open-zip').addEventListener('change', async (e) => {
  const f = e.target.files[0];
  if (f) await openZip(new Uint8Array(await f.arrayBuffer()), f.name);
  e.target.value = '';
});
$('open-folder').addEventListener('change', async (e) => {
  if (e.target.files.length) await openFiles([...e.target.files]);
  e.target.value = '';
});
if (!('webkitdirectory' in document.createElement('input'))) $('open-folder-label').hidden = true;
$('open-example').addEventListener('click', async () => {
  const bytes = new Uint8Array(await fetch(kExample).then((r) => r.arrayBuffer()));
  await openZip(bytes, 'The example party');
});
$('restore-before').addEventListener('click', async () => {
  const before = await store.load(store.kBefore);
  if (!before) return;
  await store.remove(store.kBefore);
  $('restore').hidden = true;
  await open(before.folder, 'Your work from before', before);
});
for (const type of ['dragenter', 'dragover']) {
  document.addEventListener(type, (e) => {
    e.preventDefault();
    document.body.classList.add('dragging');
  });
}
document.addEventListener('dragleave', (e) => {
  if (!e.relatedTarget) document.body.classList.remove('dragging');
});
document.addEventListener('drop', (e) => {
  e.preventDefault();
  document.body.classList.remove('dragging');
  dropped(e.dataTransfer);
});
$('sound').addEventListener('click', () => {
  const on = $('sound').getAttribute('aria-pressed') !== 'true';
  $('sound').setAttribute('aria-pressed', String(on));
  $('sound').textContent = on ? 'Sound off' : 'Sound on';
  preview.sound(on);
});
$('replay').addEventListener('click', () => {
  if (made) preview.show({...made, at: 'opening'});
});
$('make-downloads').addEventListener('click', makeDownloads);
preview.onEnded((text) => status('preview-status', text || 'The preview ended: change something or play it from the start.'));

// For the tests and the timing script (bench/studio_timing.sh): when each
// edit was made and when the preview reached what it showed, on the page's
// clock.
const shown = [];
preview.onShown((s) => shown.push(s));
window.velmoraStudio = {
  shown: () => shown.slice(),
  edits: () => edits.slice(),
  errors,
  facts: () => ({...facts}),
  busy: () => making || encoding !== null,
};

showProgramsSize();
restore();
