// The studio's two timings in Chromium, on the page's own clock
// (window.velmoraStudio's trace): the example party's zip given to the file
// input until the preview's first picture, and a keystroke in the name
// (its last digit taken away, then typed again) until the preview shows the new
// menu. The machine should be otherwise idle; the music is encoded first so
// that it does not compete.
//
// usage: node studio_timing.mjs STUDIO_DIR RUNS
import fs from 'node:fs';
import path from 'node:path';
import {serve} from './serve.mjs';
import {engines} from './drivers.mjs';
import {sleep} from './checks.mjs';

const [studioDir, runsText] = process.argv.slice(2);
const runs = Number(runsText);
const kTimeout = 120000;
async function waitFor(e, fn, arg) {
  const end = Date.now() + kTimeout;
  for (;;) {
    const got = await e.evaluate(fn, arg);
    if (got) return got;
    if (Date.now() > end) throw new Error('timed out');
    await sleep(20);
  }
}

function summary(what, ms) {
  const sorted = [...ms].sort((a, b) => a - b);
  const median = sorted[sorted.length >> 1];
  console.log(`${what}: median ${median.toFixed(0)} ms, slowest ${sorted[sorted.length - 1].toFixed(0)} ms ` +
              `(${ms.map((m) => m.toFixed(0)).join(', ')})`);
}

const zip = fs.readFileSync(path.join(studioDir, 'example.zip')).toString('base64');
const site = await serve(studioDir);
const [, start] = engines({width: 1366, height: 768}).find(([name]) => name === 'Chromium');
const e = await start();
try {
  await e.goto(site.url);
  await waitFor(e, () => window.velmoraStudio);
  const opening = [];
  for (let i = 0; i < runs; i++) {
    const before = await e.evaluate(() => window.velmoraStudio.shown().length);
    const t0 = await e.evaluate((b64) => {
      const data = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      const pick = new DataTransfer();
      pick.items.add(new File([data], 'example.zip', {type: 'application/zip'}));
      const input = document.getElementById('open-zip');
      input.files = pick.files;
      const t = performance.now();
      input.dispatchEvent(new Event('change', {bubbles: true}));
      return t;
    }, zip);
    const shown = await waitFor(e, (n) => window.velmoraStudio.shown()[n], before);
    opening.push(shown.time - t0);
    await waitFor(e, () => !window.velmoraStudio.busy());
  }
  summary('open the zip to the first picture', opening);

  await e.click('#f-name');
  await e.press('End');
  const typing = [];
  for (let i = 0; i < runs; i++) {
    const before = await e.evaluate(() => window.velmoraStudio.shown().length);
    if (i % 2 === 0) await e.press('Backspace');
    else await e.type('1');
    const shown = await waitFor(e, (n) => window.velmoraStudio.shown().slice(n).find((s) => s.at === 'menu'), before);
    const edit = await e.evaluate(() => window.velmoraStudio.edits().pop());
    typing.push(shown.time - edit);
    await sleep(300);
  }
  summary('a keystroke in the name to the new menu', typing);
} finally {
  await e.close();
  site.server.close();
}
