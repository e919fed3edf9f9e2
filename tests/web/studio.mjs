// The studio in the three engines, one scenario each, as an organiser uses
// it: the example party's zip given to the page's file input plays in the
// preview; a name typed into the form shows in the menu's header band,
// pixel for pixel the command line's; the downloads are made and read back
// (pak.pak in both zips is the command line's, the web zip's site plays in
// the same engine); a folder with faults shows each fault at its field or
// its page's line. No console error and no uncaught error on the way.
// The times from opening the zip to the first picture and from the last
// keystroke to the new menu are printed (bench/studio_timing.sh reads them).
//
// usage: node studio.mjs STUDIO_DIR WORK_DIR NAME PAK_SHA256
//   WORK_DIR holds skargard.zip, bad.zip and header.rgb (the menu's header
//   band for NAME, raw RGB); PAK_SHA256 is the command line's pak.pak's.
import {execFileSync} from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import {serve} from './serve.mjs';
import {kWidth, kLayout} from './layout.mjs';
import {engines} from './drivers.mjs';
import {watchErrors} from './errors.mjs';
import {check, passed, sleep} from './checks.mjs';

const [studioDir, workDir, kName, kPakSha] = process.argv.slice(2);
const kViewport = {width: 1366, height: 768};
const kStepTimeout = 60000;
// Encoding the music and making the downloads (the programs fetched, the
// release zips, the preview sheet captured) on a busy machine.
const kDownloadsTimeout = 300000;
const kPollMs = 100;
// Files the downloads hold, by the end of their names.
const kDownloads = ['-win64.zip', '-web.zip', 'SHA256SUMS', '-party.zip', '-preview.png'];

// The test's own script in each page before the page's: the error watch,
// and a comparison of the canvas's header band with the expected one.
function probe(header) {
  const script = (b64) => {
    const t = window.__test;
    const want = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    t.headerDiffers = () => {
      const rows = want.length / 3 / 640;
      const px = document.getElementById('canvas').getContext('2d').getImageData(0, 0, 640, rows).data;
      let n = 0;
      for (let i = 0, j = 0; i < px.length; i += 4, j += 3) {
        if (px[i] !== want[j] || px[i + 1] !== want[j + 1] || px[i + 2] !== want[j + 2]) n++;
      }
      return n;
    };
  };
  return `<script>(${watchErrors})();
(${script})(${JSON.stringify(header.toString('base64'))});</script>`;
}

async function waitFor(e, fn, arg, timeout, failure) {
  const end = Date.now() + timeout;
  for (;;) {
    const got = await e.evaluate(fn, arg);
    if (got) return got;
    if (Date.now() > end) throw new Error(typeof failure === 'function' ? await failure() : failure);
    await sleep(kPollMs);
  }
}

// Gives the file input the zip, as a visitor's file pick does.
async function pickZip(e, file) {
  const bytes = fs.readFileSync(file).toString('base64');
  await e.evaluate((b64, name) => {
    const data = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    const pick = new DataTransfer();
    pick.items.add(new File([data], name, {type: 'application/zip'}));
    const input = document.getElementById('open-zip');
    input.files = pick.files;
    input.dispatchEvent(new Event('change', {bubbles: true}));
  }, bytes, path.basename(file));
}

const shownCount = (e) => e.evaluate(() => window.velmoraStudio.shown().length);

async function openExample(e) {
  const before = await shownCount(e);
  const t0 = Date.now();
  await pickZip(e, path.join(workDir, 'skargard.zip'));
  await waitFor(e, (n) => window.velmoraStudio.shown().length > n, before, kStepTimeout,
                async () => `the preview never played (${await e.evaluate(() => document.getElementById('preview-status').textContent)})`);
  const ms = Date.now() - t0;
  const facts = await e.evaluate(() => window.velmoraStudio.facts());
  check(facts.name === 'Skärgårdsfest Żerań 2031', `${e.name}: the example's zip opened through the file input plays in the preview`);
  console.log(`${e.name}: timing: open to first picture ${ms} ms`);
}

async function typeName(e) {
  await e.click('#f-name');
  await e.evaluate(() => document.getElementById('f-name').select());
  await e.type(kName);
  const t0 = Date.now();
  await waitFor(e, () => window.__test.headerDiffers() === 0, null, kStepTimeout,
                async () => `the menu's header never showed the new name (${await e.evaluate(() => window.__test.headerDiffers())} pixels differ)`);
  const ms = Date.now() - t0;
  passed(`${e.name}: the name typed shows in the menu's header, pixel for pixel the command line's`);
  const shown = await e.evaluate(() => window.velmoraStudio.shown().filter((s) => s.at === 'menu').pop());
  console.log(`${e.name}: timing: last keystroke to the new menu ${ms} ms (the preview's own: ${shown ? Math.round(shown.ms) : '?'} ms from the data made)`);
}

// An edit in a page takes the preview to that page: through the menu, a
// click on its button.
async function editPage(e) {
  const before = await shownCount(e);
  await e.click('#p-contact');
  await e.type(' ');
  await waitFor(e, (n) => window.velmoraStudio.shown().slice(n).some((s) => s.at === 'contact'), before, kStepTimeout,
                'the preview never went to the page being edited');
  passed(`${e.name}: an edit in a page takes the preview to that page`);
}

// Every download's bytes, by name.
async function downloads(e) {
  await waitFor(e, () => !window.velmoraStudio.busy(), null, kDownloadsTimeout, 'the music was never encoded');
  await e.click('#make-downloads');
  await waitFor(e, (n) => document.querySelectorAll('#download-links a[download]').length >= n, kDownloads.length,
                kDownloadsTimeout, async () => `the downloads were never made (${await e.evaluate(() => document.getElementById('downloads-status').textContent)})`);
  const files = await e.evaluate(async () => {
    const out = {};
    for (const a of document.querySelectorAll('#download-links a[download]')) {
      const bytes = new Uint8Array(await (await fetch(a.href)).arrayBuffer());
      let s = '';
      for (let i = 0; i < bytes.length; i += 0x8000) s += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      out[a.download] = btoa(s);
    }
    return out;
  });
  const dir = fs.mkdtempSync(path.join(workDir, `${e.name}-`));
  const names = Object.keys(files);
  for (const [name, b64] of Object.entries(files)) fs.writeFileSync(path.join(dir, name), Buffer.from(b64, 'base64'));
  check(kDownloads.every((end) => names.some((n) => n.endsWith(end))), `${e.name}: the downloads are ${names.join(', ')}`);
  return dir;
}

const sha256 = (bytes) => crypto.createHash('sha256').update(bytes).digest('hex');

function checkDownloads(e, dir) {
  const names = fs.readdirSync(dir);
  const named = (end) => path.join(dir, names.find((n) => n.endsWith(end)));
  const unzip = (zip, file) => execFileSync('unzip', ['-p', zip, file], {maxBuffer: 1 << 28});
  const win = named('-win64.zip');
  const top = path.basename(win, '.zip');
  check(sha256(unzip(win, `${top}/pak.pak`)) === kPakSha, `${e.name}: the Windows zip's pak.pak is the command line's`);
  const web = named('-web.zip');
  check(sha256(unzip(web, 'pak.pak')) === kPakSha, `${e.name}: the web zip's pak.pak is the command line's`);
  const sums = fs.readFileSync(named('SHA256SUMS'), 'utf8');
  for (const zip of [win, web]) {
    check(sums.includes(`${sha256(fs.readFileSync(zip))}  ${path.basename(zip)}`), `${e.name}: SHA256SUMS lists ${path.basename(zip)}`);
  }
  const party = execFileSync('unzip', ['-Z1', named('-party.zip')], {encoding: 'utf8'});
  check(/\/party\.txt$/m.test(party) && /\/pages\/info\.txt$/m.test(party), `${e.name}: the party folder's zip holds party.txt and the pages`);
  check(!/DS_Store|__MACOSX/.test(party), `${e.name}: and none of the hidden files the opened zip had`);
  const sheet = execFileSync('identify', ['-format', '%w x %h', named('-preview.png')], {encoding: 'utf8'});
  check(sheet === `${3 * kWidth} x ${3 * kLayout.screen.height}`, `${e.name}: the preview sheet is three frames a row, three rows (${sheet})`);
  const site = path.join(dir, 'site');
  fs.mkdirSync(site);
  execFileSync('unzip', ['-q', web, '-d', site]);
  return site;
}

// The downloaded web site plays: started by Enter, its music clock runs (or,
// where the engine's audio context never runs, as in Firefox without a
// sound device, the page offers "tap for sound" while the run goes on).
async function playSite(e, site) {
  const server = await serve(site);
  try {
    await e.goto(server.url);
    await waitFor(e, () => typeof window.velmoraStatus === 'function' && velmoraStatus().state === 'start', null,
                  kStepTimeout, 'the web zip\'s page never became ready to start');
    await e.press('Enter');
    await waitFor(e, () => velmoraStatus().clockMs > 2000 ||
                    (velmoraStatus().state === 'running' && document.getElementById('sound-notice').textContent === 'tap for sound' &&
                     !document.getElementById('sound-notice').hidden), null, kStepTimeout,
                  async () => `the web zip's invitation never played (${JSON.stringify(await e.evaluate(() => velmoraStatus()))})`);
    check((await e.evaluate(() => document.title)).includes(kName), `${e.name}: the web zip's invitation plays, titled with the new name`);
  } finally {
    server.server.close();
  }
}

async function faults(e, url) {
  await e.goto(url);
  await waitFor(e, () => window.velmoraStudio, null, kStepTimeout, 'the studio never started');
  await pickZip(e, path.join(workDir, 'bad.zip'));
  const at = (selector) => e.evaluate((s) => [...document.querySelectorAll(s)].map((li) => li.textContent).join('\n'), selector);
  await waitFor(e, () => document.querySelectorAll('ul.problems li').length >= 5, null, kStepTimeout,
                async () => `not every fault was shown: ${await at('ul.problems li')}`);
  const expectations = [
    ['.field[data-key="place"] ul.problems li', /^party\.txt: no "place:" line/, 'the missing place at its field'],
    ['#p-compo-problems li', /^pages\/compo\.txt:2:39: .*at most 38/, 'the long page line at its page, with line and column'],
    ['#p-credits-problems li', /^pages\/credits\.txt:3:3: the page font has no 'ï'/, 'the unknown character at its page, with line and column'],
    ['.field[data-key="loading"] ul.problems li', /^loading\.png: 320 x 200 pixels; make it exactly 640 x 480/, 'the wrong picture size at its picture'],
    ['.field[data-key="music"] ul.problems li', /^music\.wav: 5\.0 s of music, at least 20 s are needed/, 'the short music at the music'],
  ];
  for (const [selector, want, what] of expectations) {
    const text = await at(selector);
    check(want.test(text), `${e.name}: ${what} (${text.split('\n')[0]})`);
  }
  check(await e.evaluate(() => document.getElementById('f-place').getAttribute('aria-invalid') === 'true'),
        `${e.name}: the faulty field is marked for screen readers`);
  // The music's problem comes after the others (it needs the decoded music).
  const said = await e.evaluate(() => document.getElementById('preview-status').textContent);
  check(said.includes('the 5 problems marked'), `${e.name}: the status counts the five marked problems ("${said}")`);
}

async function noErrors(e) {
  const errors = [...await e.evaluate(() => window.__test.errors), ...e.reported()];
  check(errors.length === 0, `${e.name}: no console error and no uncaught error (${errors.join('; ')})`);
}

const header = fs.readFileSync(path.join(workDir, 'header.rgb'));
const studio = await serve(studioDir, [], probe(header));
let failed = false;
try {
  for (const [name, start] of engines(kViewport)) {
    let e = null;
    try {
      e = await start();
      console.log(`${name}: ${e.version}`);
      await e.goto(studio.url);
      await waitFor(e, () => window.velmoraStudio, null, kStepTimeout, 'the studio never started');
      await openExample(e);
      await typeName(e);
      await editPage(e);
      const site = checkDownloads(e, await downloads(e));
      await noErrors(e);
      await faults(e, studio.url);
      await noErrors(e);
      await playSite(e, site);
    } catch (err) {
      failed = true;
      console.error(`FAILED: ${name}: ${err.message}`);
    } finally {
      if (e) await e.close().catch(() => {});
    }
  }
} finally {
  studio.server.close();
}
process.exit(failed ? 1 : 0);
