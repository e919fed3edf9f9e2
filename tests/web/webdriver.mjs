// A small W3C WebDriver client (plain HTTP and JSON) for the WebKitGTK
// driver, WebKitWebDriver, which starts its MiniBrowser on the display
// DISPLAY names. Enough to drive a page as a visitor: navigate, run a script
// (its promise awaited), click an element, move and click the mouse at a
// point, press a key, type text.
//
// usage: const browser = await startWebKit(); ... await browser.close();
import {spawn} from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import {sleep} from './checks.mjs';

const kDriver = 'WebKitWebDriver';
const kLibDir = '/usr/lib';
const kMiniBrowser = 'webkit2gtk-4.1/MiniBrowser';
const kReadyTimeoutMs = 15000;
const kElementKey = 'element-6066-11e4-a52e-4f735466cecf';
// The code points WebDriver gives the keys a visitor presses here.
const kKeys = {Enter: '\uE007', Escape: '\uE00C', Tab: '\uE004'};

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const {port} = server.address();
      server.close(() => resolve(port));
    });
  });
}

// The MiniBrowser of Debian's WebKitGTK, in the system's multiarch folder.
function miniBrowser() {
  for (const dir of fs.readdirSync(kLibDir)) {
    const file = path.join(kLibDir, dir, kMiniBrowser);
    if (fs.existsSync(file)) return file;
  }
  throw new Error(`no ${kLibDir}/*/${kMiniBrowser}`);
}

// One command; a WebDriver error becomes an exception that names it.
async function command(base, method, path, body) {
  const response = await fetch(base + path, {
    method,
    headers: {'Content-Type': 'application/json'},
    body: body === undefined ? undefined : JSON.stringify(body),
  });
  const reply = await response.json();
  if (!response.ok) {
    throw new Error(`WebDriver ${method} ${path}: ${reply.value.error}: ${reply.value.message}`);
  }
  return reply.value;
}

async function waitReady(base, driver) {
  const end = Date.now() + kReadyTimeoutMs;
  while (Date.now() < end) {
    if (driver.exitCode !== null) throw new Error(`${kDriver} ended with ${driver.exitCode}`);
    try {
      if ((await command(base, 'GET', '/status')).ready) return;
    } catch (e) {
      // not listening yet
    }
    await sleep(100);
  }
  throw new Error(`${kDriver} did not answer within ${kReadyTimeoutMs} ms`);
}

// Starts the driver and a MiniBrowser session with its window at the size
// given; throws (naming what failed) when either cannot start.
export async function startWebKit({width, height}) {
  const port = await freePort();
  const base = `http://127.0.0.1:${port}`;
  const driver = spawn(kDriver, [`--port=${port}`], {stdio: ['ignore', 'ignore', 'pipe']});
  let driverLog = '';
  driver.stderr.on('data', (d) => { driverLog += d; });
  const started = new Promise((resolve, reject) => {
    driver.on('error', reject);
    driver.on('spawn', resolve);
  });
  let session;
  try {
    const binary = miniBrowser();
    await started;
    await waitReady(base, driver);
    session = await command(base, 'POST', '/session', {
      capabilities: {alwaysMatch: {'webkitgtk:browserOptions': {binary, args: ['--automation']}}},
    });
  } catch (e) {
    driver.kill();
    throw new Error(`WebKit could not start: ${e.message} ${driverLog}`);
  }
  const at = `/session/${session.sessionId}`;
  const send = (method, path, body) => command(base, method, at + path, body);
  await send('POST', '/window/rect', {width, height});
  const pointer = (actions) => send('POST', '/actions', {
    actions: [{type: 'pointer', id: 'mouse', parameters: {pointerType: 'mouse'}, actions}],
  });
  const move = (x, y, duration = 0) => ({type: 'pointerMove', x: Math.round(x), y: Math.round(y), origin: 'viewport', duration});
  return {
    version: session.capabilities.browserVersion,
    goto: (url) => send('POST', '/url', {url}),
    // fn runs in the page with args (JSON values); a promise it returns is
    // awaited.
    evaluate: (fn, ...args) => send('POST', '/execute/sync', {script: `return (${fn}).apply(null, arguments);`, args}),
    async click(selector) {
      const element = await send('POST', '/element', {using: 'css selector', value: selector});
      await send('POST', `/element/${element[kElementKey]}/click`, {});
    },
    move: (x, y) => pointer([move(x, y, 100)]),
    clickAt: (x, y) => pointer([move(x, y), {type: 'pointerDown', button: 0}, {type: 'pointerUp', button: 0}]),
    press: (key) => send('POST', '/actions', {
      actions: [{type: 'key', id: 'keyboard', actions: [{type: 'keyDown', value: kKeys[key]}, {type: 'keyUp', value: kKeys[key]}]}],
    }),
    // Text typed key by key into the focused element.
    type: (text) => send('POST', '/actions', {
      actions: [{type: 'key', id: 'keyboard', actions: [...text].flatMap((c) => [{type: 'keyDown', value: c}, {type: 'keyUp', value: c}])}],
    }),
    async close() {
      await send('DELETE', '').catch(() => {});
      driver.kill();
    },
  };
}
