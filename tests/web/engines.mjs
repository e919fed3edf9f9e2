// The web build in the three browser engines: Chromium (puppeteer-core over
// the DevTools protocol), Firefox (puppeteer-core over WebDriver BiDi) and
// WebKit (WebKitGTK's WebDriver, webdriver.mjs), one after the other so that
// each has the machine to itself while its pace is measured. Each runs the
// same scenario:
//  a start by keyboard (Enter): the loading screen exactly, the audio
//    context's state and the music clock against the context's time (where
//    the context never runs, as in Firefox without a sound device, the page
//    offers "tap for sound" and the run goes on), the menu exactly, 240 menu frames hashed one by one, the menu's frame
//    rate, EXIT clicked ends the run;
//  a start by click: the menu, a click on INFO opens its page, Esc ends the
//    run; "play again" and Esc during the loading end it at once;
//  no console error and no uncaught exception in either run, their ends
//    included.
// Chromium goes first: the others' menu frames must be Chromium's, frame
// for frame (the blob turns one step a frame, so the two runs of frames
// line up at some offset and must then be equal).
//
// An engine that cannot start fails the test.
//
// usage: node engines.mjs SITE_DIR EXPECT_DIR (EXPECT_DIR as for browser.mjs)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {serve} from './serve.mjs';
import {kLayout, kWidth, kHeight, inButton} from './layout.mjs';
import {engines} from './drivers.mjs';
import {watchErrors} from './errors.mjs';
import {check, passed, sleep} from './checks.mjs';

const [siteDir, expectDir] = process.argv.slice(2);
const kViewport = {width: 1366, height: 768};
const kMenuTimeout = 120000;
const kStepTimeout = 30000;
const kPollMs = 100;
const kClockTolerance = 50;
const kClockSamples = 12;
const kClockSampleMs = 200;
// Menu frames hashed, and how many of them must meet Chromium's.
const kMenuFrames = 240;
const kMenuOverlap = 120;
const kPaceMs = 3000;
// Time for an error at the end of a run to reach the console.
const kSettleMs = 1000;
// Where INFO's and EXIT's highlights lie, in picture pixels.
const kInfo = inButton('info', 18, 8);
const kExit = inButton('exit', 75, 14);
const kRegions = {
  // Down to the progress bar, which moves.
  loading: {x: 0, y: 0, w: kWidth, h: kLayout.loading_bar.y, file: 'loading_top.rgb', label: 'the loading screen'},
  menu: {x: 0, y: 0, w: kWidth, h: kLayout.header_rows, file: 'panel_header.rgb', label: "the menu's header band"},
  page: {x: 0, y: 60, w: 40, h: 360, file: 'textpanel_margin.rgb', label: "a page's left margin"},
};

// The test's script, put first into the page by the server: it keeps the
// page's console errors and the errors nobody handled (for an engine whose
// driver reports neither), hashes every frame put on the canvas while asked
// to, notes when frames are put, and compares regions of the canvas with the
// expected crops.
function pageProbe() {
  const crops = {};
  for (const [name, r] of Object.entries(kRegions)) {
    crops[name] = {...r, rgb: fs.readFileSync(path.join(expectDir, r.file)).toString('base64')};
  }
  const probe = (crops) => {
    const t = Object.assign(window.__test, {frames: null, wanted: 0, puts: null});
    const put = CanvasRenderingContext2D.prototype.putImageData;
    CanvasRenderingContext2D.prototype.putImageData = function (image, ...rest) {
      if (t.puts) t.puts.push(performance.now());
      if (t.frames && t.frames.length < t.wanted) {
        const words = new Uint32Array(image.data.buffer, image.data.byteOffset, image.width * image.height);
        let h = 2166136261;
        for (let i = 0; i < words.length; i++) h = Math.imul(h ^ words[i], 16777619);
        t.frames.push(h >>> 0);
      }
      return put.call(this, image, ...rest);
    };
    const regions = {};
    for (const [name, c] of Object.entries(crops)) {
      regions[name] = {...c, rgb: Uint8Array.from(atob(c.rgb), (ch) => ch.charCodeAt(0))};
    }
    t.differing = (name) => {
      const r = regions[name];
      const px = document.getElementById('canvas').getContext('2d').getImageData(r.x, r.y, r.w, r.h).data;
      let n = 0;
      for (let i = 0, j = 0; i < px.length; i += 4, j += 3) {
        if (px[i] !== r.rgb[j] || px[i + 1] !== r.rgb[j + 1] || px[i + 2] !== r.rgb[j + 2]) n++;
      }
      return n;
    };
  };
  return `<script>(${watchErrors})();
(${probe})(${JSON.stringify(crops)});</script>`;
}

const kEngines = engines(kViewport);

// ---- Steps.

async function waitFor(e, fn, arg, timeout, failure) {
  const end = Date.now() + timeout;
  for (;;) {
    if (await e.evaluate(fn, arg)) return;
    if (Date.now() > end) throw new Error(await failure());
    await sleep(kPollMs);
  }
}

const pageState = (e) => e.evaluate(() => document.body.dataset.state);

// The page's modules have run (the template itself starts in "start").
async function waitStart(e) {
  await waitFor(e, () => typeof window.velmoraStatus === 'function' && velmoraStatus().state === 'start', null,
                kStepTimeout, async () => `the page never became ready to start (it is ${await pageState(e)})`);
}

async function waitState(e, state, timeout = kStepTimeout) {
  await waitFor(e, (s) => document.body.dataset.state === s, state, timeout,
                async () => `the page never reached state ${state} (it is ${await pageState(e)})`);
}

async function waitRegion(e, name, timeout = kStepTimeout) {
  await waitFor(e, (n) => window.__test.differing(n) === 0, name, timeout, async () => {
    const n = await e.evaluate((r) => window.__test.differing(r), name);
    return `the canvas never showed ${kRegions[name].label} (${n} pixels differ at the end, the page is ${await pageState(e)})`;
  });
  passed(`${e.name}: the canvas shows ${kRegions[name].label} exactly`);
}

// The centre of picture pixel (x, y) in viewport coordinates.
async function pagePoint(e, {x, y}) {
  const r = await e.evaluate(() => {
    const b = document.getElementById('canvas').getBoundingClientRect();
    return {left: b.left, top: b.top, width: b.width, height: b.height};
  });
  return {x: r.left + (x + 0.5) * r.width / kWidth, y: r.top + (y + 0.5) * r.height / kHeight};
}

async function clickPicture(e, at) {
  const p = await pagePoint(e, at);
  await e.move(p.x - 60, p.y + 40);
  await e.move(p.x, p.y);
  await sleep(300);
  await e.clickAt(p.x, p.y);
}

// The music clock advances with the audio context's time and never goes
// backwards. With the context running, the clock is the time heard; where it
// never runs (no sound device: its resume() never settles) the clock stands
// with it, the run goes on on the program's silent clock and the page offers
// "tap for sound".
async function checkSound(e) {
  await sleep(2 * kSettleMs);
  const samples = [];
  for (let i = 0; i < kClockSamples; i++) {
    samples.push(await e.evaluate(() => ({...velmoraStatus(), notice: document.getElementById('sound-notice').hidden ? '' :
                                            document.getElementById('sound-notice').textContent})));
    await sleep(kClockSampleMs);
  }
  const first = samples[0];
  const last = samples[samples.length - 1];
  const clock = last.clockMs - first.clockMs;
  const context = (last.contextTime - first.contextTime) * 1000;
  const steady = samples.every((s, i) => i === 0 || s.clockMs >= samples[i - 1].clockMs);
  const state = last.contextState;
  console.log(`${e.name}: audio context ${state}; music clock advanced ${clock} ms, the context ${context.toFixed(1)} ms`);
  check(steady && Math.abs(clock - context) <= kClockTolerance, `${e.name}: the music clock advances with the audio context`);
  if (state === 'running') {
    const heard = (last.contextTime - last.musicStarted - last.outputLatency) * 1000;
    console.log(`${e.name}: music clock ${last.clockMs} ms, heard ${heard.toFixed(1)} ms`);
    check(clock > 1500 && Math.abs(last.clockMs - heard) <= kClockTolerance,
          `${e.name}: with the audio context running the music clock is the time heard`);
  } else {
    check(last.notice === 'tap for sound', `${e.name}: with the audio context ${state} the page offers "tap for sound"`);
  }
}

// The hashes of the next kMenuFrames frames.
async function menuFrames(e) {
  await e.evaluate((n) => {
    window.__test.frames = [];
    window.__test.wanted = n;
  }, kMenuFrames);
  await waitFor(e, (n) => window.__test.frames.length >= n, kMenuFrames, kMenuTimeout,
                () => `fewer than ${kMenuFrames} menu frames came`);
  return e.evaluate(() => window.__test.frames);
}

// Frames put on the canvas over kPaceMs of the menu: at most one per 60 Hz
// tick; the rate is reported.
async function checkPace(e) {
  await e.evaluate(() => { window.__test.puts = []; });
  await sleep(kPaceMs);
  const times = await e.evaluate(() => window.__test.puts);
  await e.evaluate(() => { window.__test.puts = null; });
  const span = times.length > 1 ? times[times.length - 1] - times[0] : 0;
  const rate = (times.length - 1) * 1000 / (span || 1);
  console.log(`${e.name}: menu pace ${times.length} frames in ${span.toFixed(0)} ms (${rate.toFixed(1)} a second); ` +
              `load average ${os.loadavg()[0].toFixed(2)}`);
  check(times.length >= 20 && times.length - 1 <= span * 60 / 1000 + 1,
        `${e.name}: the menu presents frames, at most one per 60 Hz tick`);
  return rate;
}

// Where got's frames meet ref's: the offset at which every frame both hold
// is equal, over at least kMenuOverlap frames; null when there is none.
function alignment(ref, got) {
  for (let d = -(got.length - kMenuOverlap); d <= ref.length - kMenuOverlap; d++) {
    let overlap = 0;
    let same = true;
    for (let i = Math.max(0, -d); i < got.length && i + d < ref.length; i++) {
      overlap++;
      if (got[i] !== ref[i + d]) {
        same = false;
        break;
      }
    }
    if (same && overlap >= kMenuOverlap) return {offset: d, overlap};
  }
  return null;
}

async function checkQuiet(e, run) {
  await sleep(kSettleMs);
  const errors = [...await e.evaluate(() => window.__test.errors), ...e.reported()];
  check(errors.length === 0, `${e.name}: no console error and no uncaught exception in the run ${run} (${errors.join('; ')})`);
}

// Run 1: started by keyboard, ended by EXIT. Returns the menu frames.
async function keyboardRun(e, url, reference) {
  await e.goto(url);
  await waitStart(e);
  await e.press('Enter');
  await waitState(e, 'running');
  passed(`${e.name}: Enter starts`);
  await waitRegion(e, 'loading', kMenuTimeout);
  await checkSound(e);
  await waitRegion(e, 'menu', kMenuTimeout);
  const frames = await menuFrames(e);
  if (e.name !== 'Chromium') {
    if (!reference) throw new Error("no menu frames of Chromium's to compare with");
    const met = alignment(reference, frames);
    check(met !== null, `${e.name}: the menu frames are Chromium's, frame for frame` +
                        (met ? ` (${met.overlap} frames compared, offset ${met.offset})` : ''));
  }
  const rate = await checkPace(e);
  await clickPicture(e, kExit);
  await waitState(e, 'ended');
  passed(`${e.name}: a click on EXIT ends the run`);
  await checkQuiet(e, 'started by keyboard and ended by EXIT');
  return {frames, rate};
}

// Run 2: started by a click, INFO, Esc; again, and Esc during the loading.
async function clickRun(e, url) {
  await e.goto(url);
  await waitStart(e);
  await e.click('#start-button');
  await waitState(e, 'running');
  passed(`${e.name}: a click starts`);
  await waitRegion(e, 'loading', kMenuTimeout);
  await waitRegion(e, 'menu', kMenuTimeout);
  await clickPicture(e, kInfo);
  await waitRegion(e, 'page');
  passed(`${e.name}: a click on INFO opens its page`);
  await e.press('Escape');
  await waitState(e, 'ended');
  passed(`${e.name}: Esc ends the run`);
  await e.click('#again');
  await waitRegion(e, 'loading', kMenuTimeout);
  await e.press('Escape');
  await waitState(e, 'ended');
  passed(`${e.name}: Esc during the loading ends the run at once`);
  await checkQuiet(e, 'started by a click and ended by Esc, twice');
}

const site = await serve(siteDir, [], pageProbe());
let failed = false;
let reference = null;
const rates = [];
try {
  for (const [name, start] of kEngines) {
    let engine = null;
    try {
      engine = await start();
      console.log(`${name}: ${engine.version}`);
      const first = await keyboardRun(engine, site.url, reference);
      reference = reference || first.frames;
      rates.push(`${name} ${first.rate.toFixed(1)}`);
      await clickRun(engine, site.url);
    } catch (e) {
      failed = true;
      console.error(`FAILED: ${name}: ${e.message}`);
    } finally {
      if (engine) await engine.close().catch(() => {});
    }
  }
} finally {
  site.server.close();
}
console.log(`menu frames a second: ${rates.join(', ')}`);
process.exit(failed ? 1 : 0);
