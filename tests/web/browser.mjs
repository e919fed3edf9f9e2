// The web build in headless Chromium, driven through the DevTools protocol.
// Three runs at once, each in its own browser context:
//  desktop (Chromium's frame rate limit lifted, so animation frames come far
//    faster than 60 a second): start click, loading screen, music clock
//    against the audio context's time (its rate and the time heard), a click
//    during the opening that chooses nothing, a hidden tab, menu (header band
//    exactly the panel's) presented at most once per 60 Hz tick, pointer onto
//    INFO and a click, the page, Esc, the fade to black, the end screen, and
//    "play again" starting a new run;
//  phone: a 390 x 844 portrait touch screen: the canvas fits the width, a tap
//    starts, a tap on INFO opens the page, a finger held in the bottom strip
//    scrolls it, a two-finger tap and the "back" control return;
//  bad input: the site without qtn.mp3 shows the desktop's message in the page;
//  a browser without WebAssembly or Web Audio gets a clear message;
//  without AudioWorklet the music plays through a ScriptProcessor.
//
// usage: node browser.mjs SITE_DIR EXPECT_DIR
// EXPECT_DIR holds raw RGB crops of the program's pictures (see
// web_browser.test.sh). Exits non-zero on the first failed check.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import {serve} from './serve.mjs';

const [siteDir, expectDir] = process.argv.slice(2);
const kWidth = 640;
const kHeight = 480;
// Loading plus the 19-second opening, with room for a busy machine.
const kMenuTimeout = 90000;
const kStepTimeout = 20000;
const kClockTolerance = 50;
const kFallbackTolerance = 250;

// Regions of the picture and the crop that must fill them exactly.
const kRegions = {
  loading: {x: 0, y: 0, w: 640, h: 231, file: 'loading_top.rgb', label: 'the loading screen'},
  menu: {x: 0, y: 0, w: 640, h: 50, file: 'panel_header.rgb', label: "the menu's header band"},
  page: {x: 0, y: 60, w: 40, h: 360, file: 'textpanel_margin.rgb', label: "a page's left margin"},
  menuMargin: {x: 0, y: 60, w: 40, h: 360, file: 'panel_margin.rgb', label: "the menu's left margin"},
};
// Where INFO's highlight lies, in picture pixels.
const kInfo = {x: 262, y: 172};

function check(ok, what) {
  if (!ok) throw new Error(what);
  console.log('ok: ' + what);
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Puts the expected crops into the page, as base64 RGB.
async function loadExpectations(page) {
  const crops = {};
  for (const [name, r] of Object.entries(kRegions)) {
    crops[name] = {...r, rgb: fs.readFileSync(path.join(expectDir, r.file)).toString('base64')};
  }
  await page.evaluate((crops) => {
    window.__regions = {};
    for (const [name, c] of Object.entries(crops)) {
      const bytes = Uint8Array.from(atob(c.rgb), (ch) => ch.charCodeAt(0));
      window.__regions[name] = {...c, rgb: bytes};
    }
    // Pixels of the region differing from the expected crop.
    window.__differing = (name) => {
      const r = window.__regions[name];
      const canvas = document.getElementById('canvas');
      const px = canvas.getContext('2d').getImageData(r.x, r.y, r.w, r.h).data;
      let n = 0;
      for (let i = 0, j = 0; i < px.length; i += 4, j += 3) {
        if (px[i] !== r.rgb[j] || px[i + 1] !== r.rgb[j + 1] || px[i + 2] !== r.rgb[j + 2]) n++;
      }
      return n;
    };
  }, crops);
}

async function waitRegion(page, name, timeout) {
  try {
    await page.waitForFunction((n) => window.__differing(n) === 0, {polling: 'raf', timeout}, name);
  } catch (e) {
    const n = await page.evaluate((n) => window.__differing(n), name);
    throw new Error(`the canvas never showed ${kRegions[name].label} (${n} pixels differ at the end)`);
  }
  check(true, `the canvas shows ${kRegions[name].label} exactly`);
}

async function regionShown(page, name) {
  return page.evaluate((n) => window.__differing(n) === 0, name);
}

async function waitState(page, state, timeout = kStepTimeout) {
  await page.waitForFunction((s) => document.body.dataset.state === s, {timeout}, state).catch(async () => {
    const now = await page.evaluate(() => document.body.dataset.state);
    throw new Error(`the page never reached state ${state} (it is ${now})`);
  });
}

// The centre of picture pixel (x, y) in page coordinates.
async function pagePoint(page, x, y) {
  const r = await page.evaluate(() => {
    const b = document.getElementById('canvas').getBoundingClientRect();
    return {left: b.left, top: b.top, width: b.width, height: b.height};
  });
  return {x: r.left + (x + 0.5) * r.width / kWidth, y: r.top + (y + 0.5) * r.height / kHeight};
}

async function elementCentre(page, selector) {
  return page.$eval(selector, (el) => {
    const b = el.getBoundingClientRect();
    return {x: b.left + b.width / 2, y: b.top + b.height / 2};
  });
}

async function openPage(browser, url, log, device) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  page.on('console', (m) => log.push(m.text()));
  page.on('pageerror', (e) => log.push('page error: ' + e.message));
  if (device) {
    await page.emulate(device);
  } else {
    await page.setViewport({width: 1000, height: 800});
  }
  await page.goto(url);
  await waitState(page, 'start');
  await loadExpectations(page);
  return page;
}

// The music clock follows the audio context's time: over a few seconds the
// two advance alike (within kClockTolerance ms) and the clock never falls.
async function clockStatus(page) {
  const s = await page.evaluate(() => velmoraStatus());
  return {...s, heard: (s.contextTime - s.musicStarted - s.outputLatency) * 1000};
}

async function checkClock(page) {
  await page.waitForFunction(() => velmoraStatus().clockMs > 0, {timeout: kStepTimeout});
  const samples = [];
  for (let i = 0; i < 16; i++) {
    samples.push(await page.evaluate(() => velmoraStatus()));
    await sleep(200);
  }
  for (let i = 1; i < samples.length; i++) {
    if (samples[i].clockMs < samples[i - 1].clockMs) throw new Error('the music clock went backwards');
  }
  const first = samples[0];
  const last = samples[samples.length - 1];
  const clock = last.clockMs - first.clockMs;
  const context = (last.contextTime - first.contextTime) * 1000;
  console.log(`music clock advanced ${clock} ms while the audio context advanced ${context.toFixed(1)} ms`);
  check(clock > 2000 && Math.abs(clock - context) <= kClockTolerance,
        'the music clock advances with the audio context and never goes backwards');
  // And it is the time heard: the context's time since the first sample
  // played, less the output latency.
  const now = await clockStatus(page);
  console.log(`music clock ${now.clockMs} ms, heard ${now.heard.toFixed(1)} ms`);
  check(now.musicStarted >= 0 && Math.abs(now.clockMs - now.heard) <= kClockTolerance,
        'the music clock is the time played, less the output latency');
}

// Another tab in front hides the page: the picture stops, the music goes on
// (the clock stays with the time heard, so the player was kept fed).
async function checkHidden(page) {
  const other = await page.browserContext().newPage();
  await other.bringToFront();
  check(await page.evaluate(() => document.visibilityState) === 'hidden', 'another tab hides the page');
  const before = await clockStatus(page);
  await sleep(2500);
  const after = await clockStatus(page);
  console.log(`hidden: music clock ${before.clockMs} to ${after.clockMs} ms, heard ${after.heard.toFixed(1)} ms`);
  check(after.clockMs - before.clockMs > 2000 && Math.abs(after.clockMs - after.heard) <= kClockTolerance,
        'the music plays on in a hidden tab');
  await page.bringToFront();
  await other.close();
}

// Mean brightness of every animation frame until the page stops running.
async function watchFade(page) {
  await page.evaluate(() => {
    window.__fade = [];
    const canvas = document.getElementById('canvas');
    const step = () => {
      const px = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
      let sum = 0;
      for (let i = 0; i < px.length; i += 4) sum += px[i] + px[i + 1] + px[i + 2];
      window.__fade.push(sum / (px.length / 4 * 3));
      if (document.body.dataset.state === 'running') requestAnimationFrame(step);
    };
    requestAnimationFrame(step);
  });
}

// Counts the frames put on the canvas over two seconds of the menu: at most
// one per 60 Hz tick (a loose lower bound only: the machine is busy).
async function checkPace(page) {
  const times = await page.evaluate(() => new Promise((resolve) => {
    const put = CanvasRenderingContext2D.prototype.putImageData;
    const seen = [];
    CanvasRenderingContext2D.prototype.putImageData = function (...args) {
      seen.push(performance.now());
      return put.apply(this, args);
    };
    setTimeout(() => {
      CanvasRenderingContext2D.prototype.putImageData = put;
      resolve(seen);
    }, 2000);
  }));
  const span = times.length > 1 ? times[times.length - 1] - times[0] : 0;
  const ticks = span * 60 / 1000;
  console.log(`pace: ${times.length} frames in ${span.toFixed(0)} ms (${(times.length * 1000 / (span || 1)).toFixed(1)} a second)`);
  check(times.length >= 20 && times.length - 1 <= ticks + 1, 'the menu presents at most one frame per 60 Hz tick');
}

async function desktop(browser, url) {
  const log = [];
  const page = await openPage(browser, url, log);
  try {
    await page.click('#start');
    await waitRegion(page, 'loading', kStepTimeout);
    await checkClock(page);
    // Over CONTACT, where the pointer starts: nothing reads the mouse yet.
    const contact = await pagePoint(page, 320, 240);
    await page.mouse.click(contact.x, contact.y);
    await checkHidden(page);
    await waitRegion(page, 'menu', kMenuTimeout);
    await sleep(1000);
    check(await regionShown(page, 'menuMargin'), 'a click during the opening chose nothing');
    await checkPace(page);

    const info = await pagePoint(page, kInfo.x, kInfo.y);
    await page.mouse.move(info.x - 100, info.y + 60);
    await page.mouse.move(info.x, info.y, {steps: 5});
    await sleep(300);
    await page.mouse.click(info.x, info.y);  // down and up within one frame
    await waitRegion(page, 'page', kStepTimeout);

    await watchFade(page);
    await page.keyboard.press('Escape');
    await waitState(page, 'ended');
    const fade = await page.evaluate(() => window.__fade);
    const falls = fade.every((v, i) => i === 0 || v <= fade[i - 1] + 0.5);
    console.log(`fade: ${fade.length} frames, brightness ${fade[0].toFixed(1)} to ${fade[fade.length - 1].toFixed(1)}`);
    check(fade.length >= 16 && fade[0] > 20 && fade[fade.length - 1] === 0 && falls,
          'Esc fades the picture to black');
    check(await page.$eval('#end', (el) => !el.hidden && el.textContent.includes('play again')),
          'the end screen offers to play again');

    await page.click('#again');
    await waitRegion(page, 'loading', kStepTimeout);
    check(true, 'play again starts a new run');
    await page.keyboard.press('Escape');
    await waitState(page, 'ended');
  } catch (e) {
    await page.screenshot({path: path.join(os.tmpdir(), 'velmora-desktop-failure.png')}).catch(() => {});
    throw new Error(`desktop: ${e.message}\n  page console:\n    ${log.join('\n    ')}`);
  }
}

async function phone(browser, url) {
  const log = [];
  const device = {
    viewport: {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true, isLandscape: false},
    userAgent: 'Mozilla/5.0 (Linux; Android 14; Phone) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Mobile Safari/537.36',
  };
  const page = await openPage(browser, url, log, device);
  try {
    const start = await elementCentre(page, '#start');
    await page.touchscreen.tap(start.x, start.y);
    await waitState(page, 'running');
    const width = await page.evaluate(() => [document.getElementById('canvas').getBoundingClientRect().width, window.innerWidth]);
    check(Math.abs(width[0] - width[1]) < 1, `the canvas fits the phone's width (${width[0]} of ${width[1]} px)`);
    await waitRegion(page, 'menu', kMenuTimeout);

    const info = await pagePoint(page, kInfo.x, kInfo.y);
    await page.touchscreen.tap(info.x, info.y);
    await waitRegion(page, 'page', kStepTimeout);

    // A finger held in the bottom strip scrolls the page; lifted, it stops.
    const cdp = await page.createCDPSession();
    const touch = async (type, points) => cdp.send('Input.dispatchTouchEvent', {type, touchPoints: points});
    const text = () => page.evaluate(() => {
      const px = document.getElementById('canvas').getContext('2d').getImageData(40, 55, 430, 375).data;
      let h = 2166136261;
      for (let i = 0; i < px.length; i++) h = Math.imul(h ^ px[i], 16777619);
      return h;
    });
    const before = await text();
    const strip = await pagePoint(page, 320, 460);
    await touch('touchStart', [{x: strip.x, y: strip.y, id: 1}]);
    await sleep(150);
    await touch('touchEnd', []);
    await sleep(250);
    const lifted = await text();
    await sleep(700);
    check(lifted !== before && (await text()) === lifted,
          'a finger held in the bottom strip scrolls the page, and the scrolling stops when it lifts');

    // A two-finger tap is the right button: back to the menu.
    const a = await pagePoint(page, 200, 240);
    const b = await pagePoint(page, 300, 240);
    await touch('touchStart', [{x: a.x, y: a.y, id: 1}, {x: b.x, y: b.y, id: 2}]);
    await sleep(50);
    await touch('touchEnd', []);
    await waitRegion(page, 'menuMargin', kStepTimeout);
    check(true, 'a two-finger tap goes back to the menu');

    await page.touchscreen.tap(info.x, info.y);
    await waitRegion(page, 'page', kStepTimeout);
    check(await page.$eval('#back', (el) => !el.hidden), 'a touch screen shows the back control');
    const back = await elementCentre(page, '#back');
    await page.touchscreen.tap(back.x, back.y);
    await waitRegion(page, 'menuMargin', kStepTimeout);
  } catch (e) {
    await page.screenshot({path: path.join(os.tmpdir(), 'velmora-phone-failure.png')}).catch(() => {});
    throw new Error(`phone: ${e.message}\n  page console:\n    ${log.join('\n    ')}`);
  }
}

async function missingMusic(browser, url) {
  const log = [];
  const page = await openPage(browser, url, log);
  try {
    await page.click('#start');
    await waitState(page, 'message');
    const box = await page.evaluate(() => [document.getElementById('box-caption').textContent,
                                           document.getElementById('box-text').textContent]);
    check(box[0] === 'VIRORUVOD' && box[1] === 'File not found',
          `without qtn.mp3 the page shows "${box[0]}" / "${box[1]}"`);
    check(log.some((line) => line.includes('VIRORUVOD: File not found')), 'the console shows it too');
    await page.click('#box-ok');
    await waitState(page, 'ended');
    check(await page.$eval('#end-code', (el) => el.textContent.includes('-1')), 'the run ends with exit code -1');
  } catch (e) {
    throw new Error(`missing qtn.mp3: ${e.message}\n  page console:\n    ${log.join('\n    ')}`);
  }
}

// Without AudioWorklet (plain http from another host) the page plays through
// a ScriptProcessor on the main thread. The browser drops some of its blocks
// when the main thread is held up, so its clock is only held to advancing
// with the music: about as fast as the context's time, never backwards.
async function withoutWorklet(browser, url) {
  const log = [];
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  page.on('console', (m) => log.push(m.text()));
  try {
    await page.evaluateOnNewDocument(() =>
      Object.defineProperty(BaseAudioContext.prototype, 'audioWorklet', {get: () => undefined}));
    await page.goto(url);
    await waitState(page, 'start');
    await page.click('#start');
    await page.waitForFunction(() => velmoraStatus().clockMs > 0, {timeout: kStepTimeout});
    const samples = [];
    for (let i = 0; i < 16; i++) {
      samples.push(await clockStatus(page));
      await sleep(200);
    }
    const first = samples[0];
    const last = samples[samples.length - 1];
    const clock = last.clockMs - first.clockMs;
    const audioMs = (last.contextTime - first.contextTime) * 1000;
    console.log(`ScriptProcessor: music clock advanced ${clock} ms while the audio context advanced ${audioMs.toFixed(1)} ms`);
    check(samples.every((v, i) => i === 0 || v.clockMs >= samples[i - 1].clockMs) &&
          Math.abs(clock - audioMs) <= kFallbackTolerance,
          'without AudioWorklet the music plays through a ScriptProcessor, its clock with it');
    await page.keyboard.press('Escape');
    await waitState(page, 'ended');
    await context.close();
  } catch (e) {
    throw new Error(`without AudioWorklet: ${e.message}\n  page console:\n    ${log.join('\n    ')}`);
  }
}

// A browser without WebAssembly, or without Web Audio, is told so in the page.
async function unsupported(browser, url) {
  const cases = [
    ['WebAssembly', () => delete window.WebAssembly],
    ['Web Audio', () => {
      delete window.AudioContext;
      delete window.webkitAudioContext;
    }],
  ];
  for (const [what, remove] of cases) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await page.evaluateOnNewDocument(remove);
    await page.goto(url);
    const shown = await page.evaluate(() => [document.body.dataset.state,
                                             document.getElementById('unsupported').hidden,
                                             document.getElementById('unsupported-text').textContent]);
    check(shown[0] === 'unsupported' && !shown[1] && shown[2].includes(what),
          `without ${what} the page says "${shown[2]}"`);
    await context.close();
  }
}

// The test server keeps to the site: an encoded "../" reaches no file beside
// it, not even in a sibling folder whose name begins with the site's.
async function serverKeepsToTheSite() {
  const top = fs.mkdtempSync(path.join(os.tmpdir(), 'velmora-serve-'));
  fs.mkdirSync(path.join(top, 'site'));
  fs.writeFileSync(path.join(top, 'site', 'index.html'), 'inside');
  fs.mkdirSync(path.join(top, 'site-data'));
  fs.writeFileSync(path.join(top, 'site-data', 'secret.txt'), 'outside');
  const {server, url} = await serve(path.join(top, 'site'));
  const status = (p) => new Promise((resolve) => http.get(url + p, (r) => { r.resume(); resolve(r.statusCode); })
    .on('error', () => resolve(0)));
  const codes = [await status('..%2fsite-data%2fsecret.txt'), await status('%2e%2e/site-data/secret.txt'),
                 await status('index.html')];
  server.close();
  fs.rmSync(top, {recursive: true, force: true});
  check(codes.join() === '404,404,200', `the test server refuses a path out of the site (${codes.join()})`);
}

await serverKeepsToTheSite();
const site = await serve(siteDir);
const broken = await serve(siteDir, ['qtn.mp3']);
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'velmora-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--disable-frame-rate-limit'],
});
let failed = false;
try {
  const results = await Promise.allSettled([desktop(browser, site.url), phone(browser, site.url),
                                            missingMusic(browser, broken.url), unsupported(browser, site.url),
                                            withoutWorklet(browser, site.url)]);
  for (const r of results) {
    if (r.status === 'rejected') {
      failed = true;
      console.error('FAILED: ' + r.reason.message);
    }
  }
} finally {
  await browser.close();
  site.server.close();
  broken.server.close();
  fs.rmSync(profile, {recursive: true, force: true});
}
process.exit(failed ? 1 : 0);
