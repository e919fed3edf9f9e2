// The web build in headless Chromium, driven through the DevTools protocol.
// Runs in waves, each run in its own browser context:
//  desktop (Chromium's frame rate limit lifted, so animation frames come far
//    faster than 60 a second): the page before the click (the party's facts
//    and pages as text, the favicon, the preview tags), start click, loading
//    screen, music clock against the audio context's time (its rate and the
//    time heard), a click during the opening that chooses nothing, a hidden
//    tab, menu (header band exactly the panel's) presented at most once per
//    60 Hz tick, pointer onto INFO and a click, the page, Esc, the fade to
//    black, the end screen, "play again" starting a new run, and no console
//    error or uncaught error throughout;
//  phone: a 390 x 844 portrait touch screen: hints speak of taps, the canvas
//    fits the width, a tap starts, a tap on INFO opens the page, a finger
//    held in the bottom strip scrolls it, a two-finger tap and the "back"
//    control return;
//  slow link: 1.5 Mbit/s with 150 ms latency: progress moves within 0.5 s
//    of the click, the loading screen is on the canvas within 12 s, then the
//    menu exactly, all in at most 4.1 MB (the site's 4.04 MB and the
//    requests' headers: nothing fetched twice);
//  a pak.pak, then a qtn.mp3 served short: the message and its retry button;
//    served whole again, the retry plays;
//  keyboard and full screen: focus on the start control, Enter starts, the
//    menu, F11 fills the screen with the picture, EXIT ends on a visible end
//    screen, Enter plays again;
//  phone in landscape: the picture as large as the screen's height allows,
//    no back control during the opening, one beside the picture on a page;
//  an audio context that never resumes: the menu still comes, with
//    "tap for sound";
//  bad input: the site without qtn.mp3 shows the desktop's message in the page;
//  a browser without WebAssembly, its SIMD, or Web Audio gets a clear message;
//  without AudioWorklet, or when its module fails to load, the music plays
//    through a ScriptProcessor.
//
// usage: node browser.mjs SITE_DIR EXPECT_DIR
// EXPECT_DIR holds raw RGB crops of the program's pictures (see
// web_browser.test.sh). Exits non-zero on the first failed check.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import {serve, serveFaulty} from './serve.mjs';
import {kLayout, kWidth, kHeight, inButton} from './layout.mjs';
import {check, passed, sleep} from './checks.mjs';

const [siteDir, expectDir] = process.argv.slice(2);
// Loading plus the 19-second opening, with room for a busy machine.
const kMenuTimeout = 90000;
const kStepTimeout = 20000;
const kClockTolerance = 50;
const kFallbackTolerance = 250;
// The share of a ScriptProcessor's blocks a busy machine may cost.
const kFallbackLostShare = 0.15;

// The music time at which the opening ends and the menu starts reading the
// pointer.
const kOpeningEndMs = kLayout.opening.menu_end_ms;
// Regions of the picture and the crop that must fill them exactly.
const kRegions = {
  // Down to the progress bar, which moves.
  loading: {x: 0, y: 0, w: kWidth, h: kLayout.loading_bar.y, file: 'loading_top.rgb', label: 'the loading screen'},
  menu: {x: 0, y: 0, w: kWidth, h: kLayout.header_rows, file: 'panel_header.rgb', label: "the menu's header band"},
  page: {x: 0, y: 60, w: 40, h: 360, file: 'textpanel_margin.rgb', label: "a page's left margin"},
  menuMargin: {x: 0, y: 60, w: 40, h: 360, file: 'panel_margin.rgb', label: "the menu's left margin"},
};
// Where INFO's and EXIT's highlights lie, in picture pixels.
const kInfo = inButton('info', 18, 8);
const kExit = inButton('exit', 75, 14);
const kSlowLink = {latency: 150, bitsPerSecond: 1.5e6};
const kProgressWithinMs = 500;
const kLoadingScreenWithinMs = 12000;
const kVisitBytes = 4100000;

// The files index.html lists for the page to fetch: each one is in the
// site with the listed size.
function checkSiteFiles() {
  const html = fs.readFileSync(path.join(siteDir, 'index.html'), 'utf8');
  const listed = JSON.parse(/<script type="application\/json" id="site-files">(.*?)<\/script>/s.exec(html)[1]);
  const wrong = Object.entries(listed).filter(([name, f]) => !fs.existsSync(path.join(siteDir, name)) ||
                                                            fs.statSync(path.join(siteDir, name)).size !== f.size);
  check(Object.keys(listed).length > 0 && wrong.length === 0,
        `the site holds every file index.html lists, at its size (${Object.keys(listed).join(', ')})`);
}

// The party's facts (data/web/party.txt) and the text pages, as the page
// must show them.
function partyFacts() {
  const facts = {};
  for (const line of fs.readFileSync(path.join(expectDir, 'party.txt'), 'utf8').split('\n')) {
    const m = /^([a-z]+): *(.*)$/.exec(line);
    if (m) facts[m[1]] = m[2];
  }
  return facts;
}

function textPage(name) {
  const text = fs.readFileSync(path.join(expectDir, name + '.txt'), 'latin1').replace(/\r/g, '');
  // Page lines are printf formats: the program shows "%%" as "%".
  return text.replace(/\nEND\n?$/, '\n').replace(/^\n+/, '').replace(/%%/g, '%').trim();
}

// A step that throws when it fails, done.
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
  passed(`the canvas shows ${kRegions[name].label} exactly`);
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

// Console errors and uncaught errors of the page, kept apart from the log.
async function openPage(browser, url, log, device, errors = [], before = null) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  page.on('console', (m) => {
    log.push(m.text());
    if (m.type() === 'error') errors.push(m.text());
  });
  page.on('pageerror', (e) => {
    log.push('page error: ' + e.message);
    errors.push(e.message);
  });
  if (device) {
    await page.emulate(device);
  } else {
    await page.setViewport({width: 1000, height: 800});
  }
  if (before) await before(page);
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

// Before the click: the party's facts as text on the start screen, the
// four pages as text in the page, a favicon that loads, the preview tags.
async function checkFirstScreen(page) {
  const facts = partyFacts();
  const start = await page.$eval('#start', (el) => el.innerText.replace(/\s+/g, ' '));
  check(['name', 'edition', 'dates', 'place'].every((k) => start.includes(facts[k])),
        `the start screen shows the party's facts as text ("${start}")`);
  check(await page.$eval('#title-picture', (el, width) => el.complete && el.naturalWidth === width, kWidth),
        "the invitation's title picture is behind the start control");
  const pages = await page.$$eval('#text pre', (els) => els.map((el) => el.textContent.trim()));
  check(pages.length === kLayout.pages.length && kLayout.pages.every((n, i) => pages[i] === textPage(n)),
        `the ${kLayout.pages.length} text pages are in the page as text`);
  const icon = await page.evaluate(async () => {
    const link = document.querySelector('link[rel="icon"]');
    const r = await fetch(link.href);
    const bitmap = await createImageBitmap(await r.blob());
    return r.ok ? bitmap.width : 0;
  });
  check(icon === 32, 'the favicon loads (a 32 x 32 picture)');
  const meta = await page.evaluate(() => {
    const content = (sel) => (document.querySelector(sel) || {}).content || '';
    return {description: content('meta[name="description"]'), title: content('meta[property="og:title"]'),
            og: content('meta[property="og:description"]'), label: document.getElementById('canvas').getAttribute('aria-label')};
  });
  check(meta.description.includes(facts.name) && meta.description.includes(facts.dates) &&
        meta.title.includes(facts.name) && meta.og.includes(facts.place) && meta.label.includes(facts.name),
        'the description, the preview tags and the canvas label name the party, its dates and place');
  check(await page.evaluate(() => !document.body.innerText.includes('needs a browser')),
        'no "needs a browser" message on a browser that has what it needs');
}

async function desktop(browser, url) {
  const log = [];
  const errors = [];
  const requests = [];
  const watch = async (page) => page.on('request', (r) => requests.push(new URL(r.url())));
  const page = await openPage(browser, url, log, {viewport: {width: 1366, height: 768}}, errors, watch);
  try {
    await checkFirstScreen(page);
    await page.click('#start');
    await waitRegion(page, 'loading', kStepTimeout);
    await checkClock(page);
    // Over CONTACT, where the pointer starts: nothing reads the mouse yet.
    const contact = await pagePoint(page, kLayout.pointer_start.x, kLayout.pointer_start.y);
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
    passed('play again starts a new run');
    await page.keyboard.press('Escape');
    await waitState(page, 'ended');
    check(errors.length === 0, `no console error and no uncaught error during the runs (${errors.join('; ')})`);
    // Every module, style and download of the site is asked for with its
    // version stamp, so that a cache never mixes an old one with a new one
    // (the page itself and its icons go without).
    const own = requests.filter((u) => u.protocol === 'http:' && u.origin === new URL(url).origin && u.pathname !== '/' &&
                                       !u.pathname.endsWith('.png'));
    const unstamped = own.filter((u) => !/^v=[0-9a-f]{16}$/.test(u.search.slice(1))).map((u) => u.pathname);
    check(own.length > 0 && unstamped.length === 0,
          `every file the page fetches carries its version stamp (${unstamped.join(', ') || own.length + ' requests'})`);
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
    const hint = await page.$eval('#start', (el) => el.innerText);
    check(hint.includes('tap to start') && !hint.includes('click'), 'on a touch screen the start hint speaks of a tap');
    const start = await elementCentre(page, '#start');
    await page.touchscreen.tap(start.x, start.y);
    await waitState(page, 'running');
    const width = await page.evaluate(() => [document.getElementById('canvas').getBoundingClientRect().width, window.innerWidth]);
    check(Math.abs(width[0] - width[1]) < 1, `the canvas fits the phone's width (${width[0]} of ${width[1]} px)`);
    check(await page.$eval('#hint', (el) => !el.hidden && el.textContent.includes('Turn your phone')),
          'in portrait the page suggests turning the phone');
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
    passed('a two-finger tap goes back to the menu');

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
// a ScriptProcessor on the main thread. The browser plays silence in place of
// a block when the main thread is held up, and the music resumes after it, so
// its clock is only held to advancing with the music: never ahead of the
// context's time, behind it by no more than a busy machine's lost blocks,
// never backwards. The same when the worklet exists but its module fails to
// load.
const kWorkletFaults = {
  missing: () => Object.defineProperty(BaseAudioContext.prototype, 'audioWorklet', {get: () => undefined}),
  failing: () => {
    AudioWorklet.prototype.addModule = () => Promise.reject(new DOMException('refused', 'AbortError'));
  },
};

async function withoutWorklet(browser, url, fault = 'missing') {
  const log = [];
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  page.on('console', (m) => log.push(m.text()));
  try {
    await page.evaluateOnNewDocument(kWorkletFaults[fault]);
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
          clock <= audioMs + kFallbackTolerance &&
          clock >= audioMs * (1 - kFallbackLostShare) - kFallbackTolerance,
          `with the AudioWorklet ${fault} the music plays through a ScriptProcessor, its clock with it`);
    await page.keyboard.press('Escape');
    await waitState(page, 'ended');
    await context.close();
  } catch (e) {
    throw new Error(`AudioWorklet ${fault}: ${e.message}\n  page console:\n    ${log.join('\n    ')}`);
  }
}

// A 1.5 Mbit/s link with 150 ms latency, from a plain server: the page
// shows progress moving within kProgressWithinMs of the click, the program's
// own loading screen is on the canvas within kLoadingScreenWithinMs, and the
// menu follows exactly once the music has arrived; the whole visit
// downloads at most kVisitBytes.
async function slowLink(browser, url) {
  const log = [];
  let visitBytes = 0;
  const throttle = async (page) => {
    const cdp = await page.createCDPSession();
    await cdp.send('Network.enable');
    cdp.on('Network.loadingFinished', (e) => { visitBytes += e.encodedDataLength; });
    await cdp.send('Network.emulateNetworkConditions', {
      offline: false,
      latency: kSlowLink.latency,
      downloadThroughput: kSlowLink.bitsPerSecond / 8,
      uploadThroughput: kSlowLink.bitsPerSecond / 8,
    });
  };
  const page = await openPage(browser, url, log, {viewport: {width: 1366, height: 768}}, [], throttle);
  try {
    await page.evaluate(() => {
      window.addEventListener('click', () => { window.__clicked = performance.now(); }, {capture: true, once: true});
      window.__progress = [];
      const step = () => {
        const bar = document.getElementById('progress');
        window.__progress.push([performance.now(), bar.hidden ? -1 : Number(bar.getAttribute('aria-valuenow'))]);
        if (window.__progress.length < 2000) requestAnimationFrame(step);
      };
      requestAnimationFrame(step);
    });
    const t0 = Date.now();
    await page.click('#start-button');
    await waitRegion(page, 'loading', kLoadingScreenWithinMs + 2000);
    const loadingMs = Date.now() - t0;
    const [clicked, trace] = await page.evaluate(() => [window.__clicked, window.__progress]);
    const after = trace.filter(([t]) => t >= clicked);
    const firstShown = after.find(([, v]) => v >= 0);
    const values = after.filter(([, v]) => v >= 0).map(([, v]) => v);
    const steps = values.filter((v, i) => i > 0 && v > values[i - 1]).length;
    console.log(`slow link: progress shown ${firstShown ? (firstShown[0] - clicked).toFixed(0) : 'never'} ms after the click, ` +
                `${steps} steps, loading screen after ${loadingMs} ms`);
    check(firstShown && firstShown[0] - clicked <= kProgressWithinMs && steps >= 3,
          'on a slow link the progress shows within 0.5 s of the click and keeps moving');
    check(loadingMs <= kLoadingScreenWithinMs, 'on a slow link the loading screen is on the canvas within 12 s');
    await page.waitForFunction(() => !document.getElementById('progress').hidden, {timeout: kStepTimeout});
    passed('the music\'s progress shows while it arrives');
    await waitRegion(page, 'menu', kMenuTimeout);
    console.log(`slow link: menu after ${Date.now() - t0} ms, ${visitBytes} bytes downloaded`);
    check(visitBytes <= kVisitBytes, 'the visit downloads at most 4.1 MB');
    await page.keyboard.press('Escape');
    await waitState(page, 'ended');
  } catch (e) {
    throw new Error(`slow link: ${e.message}\n  page console:\n    ${log.join('\n    ')}`);
  }
}

// A download arrives short: the page says so and offers to try again; served
// whole, the retry plays.
async function shortDownloads(browser) {
  const log = [];
  const faults = {short: 'pak.pak'};
  const site = await serveFaulty(siteDir, faults);
  try {
    const page = await openPage(browser, site.url, log);
    await page.click('#start');
    await waitState(page, 'failed');
    const text = await page.$eval('#failed-text', (el) => el.textContent);
    check(text.includes('pak.pak') && text.includes('incomplete'), `a short pak.pak is reported: "${text}"`);
    check(await page.evaluate(() => document.activeElement.id === 'retry'), 'the retry button is offered, focused');
    faults.short = null;
    await page.click('#retry');
    await waitRegion(page, 'loading', kStepTimeout);
    passed('served whole, the retry plays');
    await page.keyboard.press('Escape');
    await waitState(page, 'ended');

    // The music cut short: the program shows its loading screen, then waits
    // for the file; the retry brings it and the music plays.
    faults.short = 'qtn.mp3';
    const second = await openPage(browser, site.url, log);
    await second.click('#start');
    await waitRegion(second, 'loading', kStepTimeout);
    await waitState(second, 'failed');
    const music = await second.$eval('#failed-text', (el) => el.textContent);
    check(music.includes('qtn.mp3') && music.includes('incomplete'), `a short qtn.mp3 is reported: "${music}"`);
    faults.short = null;
    await second.click('#retry');
    await second.waitForFunction(() => velmoraStatus().clockMs > 1000, {timeout: kStepTimeout});
    passed('served whole, the retry brings the music and the run goes on');
    await second.keyboard.press('Escape');
    await waitState(second, 'ended');
  } catch (e) {
    throw new Error(`short pak.pak or qtn.mp3: ${e.message}\n  page console:\n    ${log.join('\n    ')}`);
  } finally {
    site.server.close();
  }
}

// Keyboard only: the start control has the focus (or gets it by Tab), Enter
// starts; F11 puts the page in full screen with the picture filling it; EXIT
// ends on an end screen that shows, its button reached by the keyboard.
async function keyboardFullScreen(browser, url) {
  const log = [];
  const errors = [];
  const page = await openPage(browser, url, log, {viewport: {width: 1366, height: 768}}, errors);
  try {
    for (let i = 0; i < 4 && await page.evaluate(() => document.activeElement.id) !== 'start-button'; i++) {
      await page.keyboard.press('Tab');
    }
    check(await page.evaluate(() => document.activeElement.id === 'start-button' &&
                                    document.activeElement.matches(':focus-visible')),
          'the start control has the keyboard focus, visibly');
    await page.keyboard.press('Enter');
    await waitRegion(page, 'menu', kMenuTimeout);
    passed('Enter starts, and the menu appears');

    await page.keyboard.press('F11');
    await page.waitForFunction(() => document.fullscreenElement !== null, {timeout: kStepTimeout});
    await sleep(500);
    const fit = await page.evaluate(() => {
      const r = document.getElementById('canvas').getBoundingClientRect();
      return {w: r.width, h: r.height, iw: window.innerWidth, ih: window.innerHeight};
    });
    const scale = Math.min(fit.iw / kWidth, fit.ih / kHeight);
    check(Math.abs(fit.w - kWidth * scale) < 1 && Math.abs(fit.h - kHeight * scale) < 1,
          `in full screen the picture fills the screen with its aspect kept (${fit.w} x ${fit.h} in ${fit.iw} x ${fit.ih})`);

    const exit = await pagePoint(page, kExit.x, kExit.y);
    await page.mouse.move(exit.x, exit.y, {steps: 3});
    await sleep(300);
    await page.mouse.click(exit.x, exit.y);
    await waitState(page, 'ended');
    const shown = await page.evaluate(() => {
      const end = document.getElementById('end');
      const b = document.getElementById('again').getBoundingClientRect();
      const top = document.elementFromPoint(b.left + b.width / 2, b.top + b.height / 2);
      const fs = document.fullscreenElement;
      return !end.hidden && top && top.id === 'again' && (!fs || fs.contains(end)) && document.activeElement.id === 'again';
    });
    check(shown, 'EXIT in full screen ends on a visible end screen, "play again" focused');
    await page.keyboard.press('Enter');
    await page.waitForFunction(() => document.body.dataset.state === 'running', {timeout: kStepTimeout});
    passed('Enter plays again');
    await page.keyboard.press('Escape');
    await page.keyboard.press('Escape');
    await waitState(page, 'ended');
    check(errors.length === 0, `no console error and no uncaught error (${errors.join('; ')})`);
  } catch (e) {
    await page.screenshot({path: path.join(os.tmpdir(), 'velmora-keyboard-failure.png')}).catch(() => {});
    throw new Error(`keyboard and full screen: ${e.message}\n  page console:\n    ${log.join('\n    ')}`);
  }
}

// A phone held sideways: the picture as high as the screen, no back
// control during the opening, a tap on INFO opens the page, the back
// control beside the picture there.
async function landscape(browser, url) {
  const log = [];
  const device = {
    viewport: {width: 844, height: 390, deviceScaleFactor: 3, isMobile: true, hasTouch: true, isLandscape: true},
    userAgent: 'Mozilla/5.0 (Linux; Android 14; Phone) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Mobile Safari/537.36',
  };
  const page = await openPage(browser, url, log, device);
  try {
    const start = await elementCentre(page, '#start-button');
    await page.touchscreen.tap(start.x, start.y);
    await waitRegion(page, 'loading', kStepTimeout);
    const size = await page.evaluate(() => {
      const r = document.getElementById('canvas').getBoundingClientRect();
      return [r.width, r.height];
    });
    check(Math.abs(size[0] - 520) < 1 && Math.abs(size[1] - 390) < 1, `in landscape the picture is 520 x 390 px (${size.join(' x ')})`);
    // The back control may show from the menu's first frame on, which comes
    // before the header band is whole (the menu fades in): what counts is
    // whether it shows while the music clock is still in the opening.
    let backSeen = false;
    const watch = setInterval(() => {
      page.evaluate((end) => !document.getElementById('back').hidden && velmoraStatus().clockMs < end, kOpeningEndMs)
        .then((v) => { backSeen = backSeen || v; }, () => {});
    }, 250);
    await waitRegion(page, 'menu', kMenuTimeout);
    clearInterval(watch);
    check(!backSeen, 'no back control during the opening');
    const info = await pagePoint(page, kInfo.x, kInfo.y);
    await page.touchscreen.tap(info.x, info.y);
    await waitRegion(page, 'page', kStepTimeout);
    passed('a tap on INFO opens the page');
    const place = await page.evaluate(() => {
      const b = document.getElementById('back').getBoundingClientRect();
      const c = document.getElementById('canvas').getBoundingClientRect();
      return {shown: !document.getElementById('back').hidden, beside: b.left >= c.right - 0.5, h: c.height};
    });
    check(place.shown && place.beside && Math.abs(place.h - 390) < 1, 'on the page the back control is beside the full-height picture');
    const back = await elementCentre(page, '#back');
    await page.touchscreen.tap(back.x, back.y);
    await waitRegion(page, 'menuMargin', kStepTimeout);
  } catch (e) {
    await page.screenshot({path: path.join(os.tmpdir(), 'velmora-landscape-failure.png')}).catch(() => {});
    throw new Error(`landscape: ${e.message}\n  page console:\n    ${log.join('\n    ')}`);
  }
}

// An audio context that stays suspended whatever resume() is asked: the
// invitation goes on (the menu comes) and the page offers "tap for sound".
async function stalledSound(browser, url) {
  const log = [];
  const suspend = (page) => page.evaluateOnNewDocument(() => {
    const Plain = window.AudioContext;
    window.AudioContext = class extends Plain {
      constructor(options) {
        super(options);
        super.suspend();
      }

      resume() {
        return new Promise(() => {});
      }
    };
  });
  const page = await openPage(browser, url, log, null, [], suspend);
  try {
    await page.click('#start');
    await waitRegion(page, 'loading', kStepTimeout);
    await waitRegion(page, 'menu', kMenuTimeout);
    check(await page.$eval('#sound-notice', (el) => !el.hidden && el.textContent === 'tap for sound'),
          'with the audio context never resuming the menu comes, with "tap for sound"');
  } catch (e) {
    throw new Error(`stalled sound: ${e.message}\n  page console:\n    ${log.join('\n    ')}`);
  }
}

// A browser without WebAssembly, its SIMD, or Web Audio is told so in the page.
async function unsupported(browser, url) {
  const cases = [
    ['WebAssembly', () => delete window.WebAssembly],
    ['WebAssembly SIMD', () => {
      WebAssembly.validate = () => false;
    }],
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
checkSiteFiles();
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
  // In waves, so that a 2-core machine keeps every run near real time.
  const waves = [
    () => [desktop(browser, site.url), phone(browser, site.url), missingMusic(browser, broken.url),
           unsupported(browser, site.url), withoutWorklet(browser, site.url)],
    // Alone: its times are the link's, not those of a busy machine.
    () => [slowLink(browser, site.url)],
    () => [keyboardFullScreen(browser, site.url), landscape(browser, site.url), stalledSound(browser, site.url)],
    () => [shortDownloads(browser), withoutWorklet(browser, site.url, 'failing')],
  ];
  for (const wave of waves) {
    for (const r of await Promise.allSettled(wave())) {
      if (r.status === 'rejected') {
        failed = true;
        console.error('FAILED: ' + r.reason.message);
      }
    }
  }
} finally {
  await browser.close();
  site.server.close();
  broken.server.close();
  fs.rmSync(profile, {recursive: true, force: true});
}
process.exit(failed ? 1 : 0);
