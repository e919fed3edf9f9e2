// Input: the visitor's keys, mouse, pen and fingers, forwarded to the
// running program.
//
// Contract: attach({call, running, toggleFullscreen, start, closeText})
// - call(name, ...args) calls a module export when a run is live;
// - running() is true while the program takes input;
// - keys while running go to the program as SDL-style key codes (Esc as 27),
//   F11 toggles full screen; on the start screen Enter or Space starts
//   (start()), Esc closes the text version (closeText());
// - pointers on the canvas move the program's pointer to where they are
//   over the picture (no pointer lock: in full screen the picture fills the
//   screen and a free pointer reaches all of it) and press its buttons; one finger is the left button,
//   a second finger a right-button click, the "back" control the right
//   button; the first touch marks the visitor as a touch user (screens.touch);
// - touch scrolling and pinch zoom are held off the invitation; the mouse
//   wheel is left alone, so an embedded invitation lets the host page scroll.

import {kWidth, kHeight, touch, state, reading} from './screens.js';

const kEsc = 27;

export function attach({call, running, toggleFullscreen, start, closeText}) {
  const canvas = document.getElementById('canvas');
  const back = document.getElementById('back');

  function keyCode(e) {
    if (e.key === 'Escape' || e.key === 'Esc') return kEsc;
    if (e.key && e.key.length === 1) return e.key.toLowerCase().charCodeAt(0);
    const named = {Enter: 13, Backspace: 8, Tab: 9, Delete: 127};
    if (e.key in named) return named[e.key];
    return 0x40000000 | e.keyCode;
  }

  window.addEventListener('keydown', (e) => {
    if (e.ctrlKey || e.metaKey || e.altKey) return;
    if (reading()) {
      if (e.key === 'Escape') closeText();
      return;
    }
    if (state() === 'start' && (e.key === 'Enter' || e.key === ' ')) {
      // A focused button starts by its own click.
      if (!(e.target instanceof HTMLButtonElement)) {
        e.preventDefault();
        start();
      }
      return;
    }
    if (!running()) return;
    if (e.key === 'F11') {
      toggleFullscreen();
    } else {
      call('_web_key', keyCode(e));
    }
    e.preventDefault();
  });

  // ---- Pointer: mouse, pen and touch through pointer events.
  const fingers = new Set();

  function picturePoint(e) {
    const r = canvas.getBoundingClientRect();
    return [Math.floor((e.clientX - r.left) * kWidth / r.width),
            Math.floor((e.clientY - r.top) * kHeight / r.height)];
  }

  function follow(e) {
    const [x, y] = picturePoint(e);
    call('_web_pointer_at', x, y);
  }

  function mouseButtons(e) {
    call('_web_button', 0, e.buttons & 1 ? 1 : 0);
    call('_web_button', 1, e.buttons & 2 ? 1 : 0);
  }

  window.addEventListener('pointerdown', (e) => {
    if (e.pointerType === 'touch') touch();
  }, {capture: true, passive: true});

  canvas.addEventListener('pointerdown', (e) => {
    e.preventDefault();
    if (e.pointerType === 'touch') {
      fingers.add(e.pointerId);
      if (fingers.size === 2) {
        // A second finger: a two-finger tap is the right button.
        call('_web_button', 0, 0);
        call('_web_button', 1, 1);
        call('_web_button', 1, 0);
        return;
      }
      if (fingers.size > 2) return;
      follow(e);
      call('_web_button', 0, 1);
    } else {
      follow(e);
      mouseButtons(e);
    }
    canvas.setPointerCapture(e.pointerId);
  });

  canvas.addEventListener('pointermove', (e) => {
    if (e.pointerType === 'touch') {
      if (fingers.size === 1 && fingers.has(e.pointerId)) follow(e);
      return;
    }
    follow(e);
    mouseButtons(e);
  });

  function pointerEnd(e) {
    if (e.pointerType === 'touch') {
      const wasOne = fingers.size === 1;
      fingers.delete(e.pointerId);
      if (fingers.size === 0) {
        if (wasOne) call('_web_button', 0, 0);
        call('_web_touch_lift');
      }
      return;
    }
    mouseButtons(e);
  }
  canvas.addEventListener('pointerup', pointerEnd);
  canvas.addEventListener('pointercancel', pointerEnd);
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());

  // The on-screen "back" control of touch screens: the right button.
  back.addEventListener('pointerdown', (e) => {
    e.preventDefault();
    call('_web_button', 1, 1);
  });
  back.addEventListener('pointerup', () => call('_web_button', 1, 0));
  back.addEventListener('pointercancel', () => call('_web_button', 1, 0));

  // Neither touch scrolling nor zooming under the invitation; the text
  // version scrolls as a page does.
  const text = document.getElementById('text');
  for (const type of ['touchmove', 'gesturestart']) {
    document.addEventListener(type, (e) => {
      if (!text.contains(e.target)) e.preventDefault();
    }, {passive: false});
  }
}
