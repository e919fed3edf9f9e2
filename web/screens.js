// Screens and layout: what the page shows around the picture.
//
// Contract:
// - setState(state): body's data-state and the overlay that goes with it:
//   start, loading, running, message, failed, ended, unsupported.
// - unsupported(text), failed(text, retry), messageBox(caption, text) ->
//   Promise (resolved by OK), ended(code): those screens, each with its
//   button focused for the keyboard.
// - progress(done, total, label, strip): a bar over the picture (strip: a
//   thin one at the bottom while the picture runs); progress(null) hides it.
// - notice(text, onTap): a small button at the top (null hides it).
// - fitCanvas(): the picture as large as the window allows with its aspect
//   kept, the touch "back" control beside it when there is room, else below;
//   pixelated when enlarged, smooth when shrunk. Runs on every resize.
// - showBack(on), touch(): the back control wanted or not; the visitor
//   uses touch (hints then speak of taps).
// - toggleFullscreen(): the whole page in full screen (overlays, back
//   control and end screen stay visible, the picture refitted), with a hint
//   that the browser takes the first Esc; the button is hidden where full
//   screen is not allowed (an iframe without allow="fullscreen").
// - state(), reading(): the state set last; whether the text version is open.
// - readText(on): opens or closes the text version.

export const kWidth = 640;
export const kHeight = 480;
const kOverlays = {start: 'start', message: 'box', failed: 'failed', ended: 'end', unsupported: 'unsupported'};
const kBackBeside = 72;  // CSS px the back column needs beside the picture
const kHintMs = 5000;
const kTurnHint = 'Turn your phone sideways for a bigger picture.';

const $ = (id) => document.getElementById(id);
const body = document.body;
const canvas = $('canvas');
const back = $('back');

let backWanted = false;
let usesTouch = false;
let hintTimer = 0;

export function state() {
  return body.dataset.state;
}

export function setState(s) {
  body.dataset.state = s;
  for (const id of Object.values(kOverlays)) $(id).hidden = true;
  if (kOverlays[s]) $(kOverlays[s]).hidden = false;
  if (s !== 'loading' && s !== 'running') progress(null);
  if (s !== 'running') notice(null);
  updateBack();
  fitCanvas();
}

export function unsupported(text) {
  $('unsupported-text').textContent = text;
  setState('unsupported');
}

export function failed(text, retry) {
  $('failed-text').textContent = text;
  $('retry').onclick = retry;
  setState('failed');
  $('retry').focus();
}

export function messageBox(caption, text) {
  $('box-caption').textContent = caption;
  $('box-text').textContent = text;
  setState('message');
  return new Promise((resolve) => {
    $('box-ok').onclick = () => {
      setState('running');
      resolve();
    };
    $('box-ok').focus();
  });
}

export function ended(code) {
  $('end-code').textContent = code === 0 ? '' : 'The invitation ended with exit code ' + code + '.';
  setState('ended');
  $('again').focus();
}

export function progress(done, total, label, strip) {
  const el = $('progress');
  if (done === null || done === undefined) {
    el.hidden = true;
    return;
  }
  const share = total > 0 ? Math.min(1, done / total) : 0;
  el.hidden = false;
  el.classList.toggle('strip', Boolean(strip));
  el.setAttribute('aria-valuenow', String(Math.round(share * 100)));
  $('progress-fill').style.width = (share * 100).toFixed(1) + '%';
  const mb = (n) => (n / 1e6).toFixed(1);
  $('progress-text').textContent = `${label} ${mb(done)} of ${mb(total)} MB`;
}

export function notice(text, onTap) {
  const el = $('sound-notice');
  el.hidden = !text;
  el.textContent = text || '';
  el.onclick = onTap || null;
}

// A line of advice under the picture, for a few seconds unless it stays.
function hint(text, stays) {
  const el = $('hint');
  clearTimeout(hintTimer);
  el.textContent = text || '';
  el.hidden = !text;
  if (text && !stays) hintTimer = setTimeout(() => { el.hidden = true; }, kHintMs);
}

export function touch() {
  if (usesTouch) return;
  usesTouch = true;
  body.classList.add('touch');
  updateBack();
}

export function showBack(on) {
  backWanted = on;
  updateBack();
}

function updateBack() {
  const show = backWanted && usesTouch && state() === 'running';
  if (back.hidden === !show) return;
  back.hidden = !show;
  fitCanvas();
}

export function fitCanvas() {
  const w = window.innerWidth;
  const h = window.innerHeight;
  let roomW = w;
  let roomH = h;
  if (!back.hidden) {
    // Beside the picture when the screen is wider than the picture at full
    // height by the column's width; else a bar under it.
    const beside = w - h * kWidth / kHeight >= kBackBeside;
    back.dataset.place = beside ? 'beside' : 'below';
    if (beside) roomW -= back.offsetWidth || kBackBeside; else roomH -= back.offsetHeight;
  }
  const scale = Math.min(roomW / kWidth, roomH / kHeight);
  canvas.style.width = kWidth * scale + 'px';
  canvas.style.height = kHeight * scale + 'px';
  $('stage').style.right = (back.hidden || back.dataset.place !== 'beside') ? '0' : (w - roomW) + 'px';
  $('stage').style.bottom = (back.hidden || back.dataset.place !== 'below') ? '0' : (h - roomH) + 'px';
  canvas.classList.toggle('smooth', scale * (window.devicePixelRatio || 1) < 1);
  const portrait = usesTouch && state() === 'running' && h > w;
  if (portrait) {
    hint(kTurnHint, true);
  } else if ($('hint').textContent === kTurnHint) {
    hint(null);
  }
}
window.addEventListener('resize', fitCanvas);
window.addEventListener('orientationchange', fitCanvas);

// ---- Full screen.
const canFullscreen = Boolean(document.fullscreenEnabled && document.documentElement.requestFullscreen);
$('controls').hidden = !canFullscreen;

export function toggleFullscreen() {
  if (document.fullscreenElement) {
    document.exitFullscreen().catch(() => {});
    return;
  }
  if (!canFullscreen) return;
  document.documentElement.requestFullscreen().then(() => {
    hint('Esc leaves full screen first; EXIT ends the invitation.');
  }, () => {});
}
document.addEventListener('fullscreenchange', fitCanvas);

// ---- The text version.
export function reading() {
  return body.classList.contains('reading');
}

export function readText(on) {
  body.classList.toggle('reading', on);
  if (on) {
    $('text').scrollTop = 0;
    $('text-close').focus();
  }
}
$('read-text').addEventListener('click', (e) => {
  e.stopPropagation();
  readText(true);
});
$('text-close').addEventListener('click', () => {
  readText(false);
  $('start-button').focus();
});
