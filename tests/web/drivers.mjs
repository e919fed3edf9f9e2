// The three browser engines behind one small interface, for the tests that
// drive the page as a visitor (engines.mjs, studio.mjs): goto, evaluate,
// click (an element), move and clickAt (viewport points), press (a named
// key), type (text into the focused element), reported() (errors the engine
// reports beside the page's own), close. Chromium runs with a profile of its
// own, removed by close().
//
// usage: for (const [name, start] of engines(viewport)) { const e = await start(); ... await e.close(); }
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import {startWebKit} from './webdriver.mjs';

async function puppeteerEngine(name, viewport, options, cleanup = () => {}) {
  const browser = await puppeteer.launch({headless: true, ...options});
  const version = await browser.version();
  let page = null;
  let reported = [];
  return {
    name,
    version,
    async goto(url) {
      if (page) await page.close();
      reported = [];
      page = await browser.newPage();
      page.on('console', (m) => {
        if (m.type() === 'error') reported.push('console error: ' + m.text());
      });
      page.on('pageerror', (e) => reported.push('page error: ' + e.message));
      await page.setViewport(viewport);
      await page.goto(url);
    },
    evaluate: (fn, ...args) => page.evaluate(fn, ...args),
    click: (selector) => page.click(selector),
    move: (x, y) => page.mouse.move(x, y, {steps: 5}),
    clickAt: (x, y) => page.mouse.click(x, y),
    press: (key) => page.keyboard.press(key),
    type: (text) => page.keyboard.type(text),
    reported: () => reported,
    async close() {
      await browser.close();
      cleanup();
    },
  };
}

async function webkitEngine(viewport) {
  const browser = await startWebKit(viewport);
  return {name: 'WebKit', ...browser, version: 'WebKitGTK ' + browser.version, reported: () => []};
}

export function engines(viewport) {
  return [
    ['Chromium', () => {
      const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'velmora-chromium-'));
      return puppeteerEngine('Chromium', viewport, {
        executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
        userDataDir: profile,
        args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-sync'],
      }, () => fs.rmSync(profile, {recursive: true, force: true}));
    }],
    ['Firefox', () => puppeteerEngine('Firefox', viewport,
                                      {browser: 'firefox', executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr'})],
    ['WebKit', () => webkitEngine(viewport)],
  ];
}
