// Where the page's main thread spends its time with the menu showing (a
// measurement, not a test): starts the invitation in headless Chromium at
// 1366 x 768, waits for the menu, throttles the CPU RATE times, counts the
// frames put on the canvas over SECONDS and records a trace of that time;
// prints frames per second and the main thread's time by kind.
//
// usage: node web_trace.mjs SITE_DIR [SECONDS] [RATE]
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import {serve} from './serve.mjs';

const [siteDir, secondsArg, rateArg] = process.argv.slice(2);
const seconds = Number(secondsArg || 5);
const rate = Number(rateArg || 4);
// The opening runs 19 seconds of music; the menu follows.
const kMenuClockMs = 21000;

// Self time (ms) by event name: each event's duration less that of the
// events nested in it on the same thread.
function selfTimes(events) {
  const sorted = events.slice().sort((a, b) => a.ts - b.ts || b.dur - a.dur);
  const self = new Map();
  const open = [];
  for (const e of sorted) {
    while (open.length && open[open.length - 1].ts + open[open.length - 1].dur <= e.ts) open.pop();
    if (open.length) {
      const parent = open[open.length - 1];
      self.set(parent.name, self.get(parent.name) - Math.min(e.dur, parent.ts + parent.dur - e.ts) / 1000);
    }
    self.set(e.name, (self.get(e.name) || 0) + e.dur / 1000);
    open.push(e);
  }
  return [...self.entries()].sort((a, b) => b[1] - a[1]);
}

const site = await serve(siteDir);
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'velmora-trace-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--autoplay-policy=no-user-gesture-required'],
});
try {
  const page = await browser.newPage();
  await page.setViewport({width: 1366, height: 768});
  await page.evaluateOnNewDocument(() => {
    window.__frames = 0;
    window.__putMs = 0;
    const put = CanvasRenderingContext2D.prototype.putImageData;
    CanvasRenderingContext2D.prototype.putImageData = function (...args) {
      window.__frames += 1;
      const t = performance.now();
      const r = put.apply(this, args);
      window.__putMs += performance.now() - t;
      return r;
    };
  });
  await page.goto(site.url);
  await page.waitForFunction(() => document.body.dataset.state === 'start', {timeout: 30000});
  await page.click('#start');
  await page.waitForFunction((ms) => window.velmoraStatus && velmoraStatus().clockMs > ms, {timeout: 120000, polling: 500},
                             kMenuClockMs);
  const cdp = await page.createCDPSession();
  await cdp.send('Emulation.setCPUThrottlingRate', {rate});
  const traceFile = path.join(profile, 'trace.json');
  await page.tracing.start({path: traceFile, categories: ['devtools.timeline', 'disabled-by-default-devtools.timeline', 'v8']});
  const [before, putBefore] = await page.evaluate(() => [window.__frames, window.__putMs]);
  await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
  const [after, putAfter] = await page.evaluate(() => [window.__frames, window.__putMs]);
  await page.tracing.stop();
  await cdp.send('Emulation.setCPUThrottlingRate', {rate: 1});

  const events = JSON.parse(fs.readFileSync(traceFile, 'utf8')).traceEvents;
  const main = events.find((e) => e.name === 'thread_name' && e.args.name === 'CrRendererMain' &&
                                  events.some((t) => t.pid === e.pid && t.name === 'FunctionCall'));
  const onMain = events.filter((e) => main && e.pid === main.pid && e.tid === main.tid && e.ph === 'X');
  const start = Math.min(...onMain.map((e) => e.ts));
  const end = Math.max(...onMain.map((e) => e.ts + (e.dur || 0)));
  const spans = onMain.filter((e) => e.dur > 0);
  const busy = spans.filter((e) => e.name === 'RunTask' || e.name === 'ThreadControllerImpl::RunTask')
                    .reduce((sum, e) => sum + e.dur, 0) / 1000;
  console.log(`${siteDir}: ${((after - before) / seconds).toFixed(1)} frames a second at ${rate}x CPU throttling`);
  console.log(`  main thread busy ${busy.toFixed(0)} ms of ${((end - start) / 1000).toFixed(0)} ms traced; self time by kind:`);
  for (const [name, ms] of selfTimes(spans).slice(0, 8)) console.log(`    ${name}: ${ms.toFixed(0)} ms`);
  // putImageData runs inside the program's call (v8.callFunction): the rest
  // of that call is the program itself, in WebAssembly.
  console.log(`  of which in putImageData: ${(putAfter - putBefore).toFixed(0)} ms`);
} finally {
  await browser.close();
  site.server.close();
  fs.rmSync(profile, {recursive: true, force: true});
}
