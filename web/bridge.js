// Bridge: the page's half of the page <-> program interface, the object the
// page hands to each run as Module.page. The program calls it from the
// EM_JS functions of platform/web.cpp and platform/arrival_web.cpp; every
// call below is required (a page that lacks one breaks the run at once). The
// other way, what the page calls in the program (_web_key, _web_pointer_at,
// ...), is listed in platform/web.h.
//
// | call                       | arguments -> result                    | EM_JS function          | C++ caller                  |
// |----------------------------|----------------------------------------|-------------------------|-----------------------------|
// | open(title, width, height) | window title, logical size             | web_page_open           | WebBackend::window_open     |
// | draw(rgba, width, height)  | Uint8Array view of RGBA in the heap    | web_page_frame          | WebBackend::window_present  |
// | close()                    |                                        | web_page_close          | WebBackend::window_close    |
// | messageBox(caption, text)  | -> Promise, settled when dismissed     | web_page_message        | WebBackend::message_box     |
// | ended(code)                | the exit code                          | web_page_ended          | WebBackend::on_exit         |
// | pointerActive()            | the menu reads the pointer from now    | web_page_pointer_active | WebBackend::mouse_acquire   |
// | sound(state)               | 'playing', 'stalled' or 'silent'       | web_page_sound          | WebBackend::audio_state     |
// | audioOpen(rate, channels)  | the program's PCM format -> bool       | web_player_open         | WebBackend::audio_open      |
// | audioPlay()                | count from zero                        | web_player_play         | WebBackend::audio_play      |
// | audioPush(samples)         | Int16Array, interleaved (the player's) | web_player_push         | WebBackend::pull_audio      |
// | audioFlush()               | drop what is queued                    | web_player_flush        | WebBackend::audio_flush     |
// | audioClose()               |                                        | web_player_close        | WebBackend::audio_close     |
// | audioReport()              | -> {played, time, buffered, now,       | web_player_report       | WebBackend::audio_clock_ms, |
// |                            | latency, valid} (player.status)        |                         | audio_flush, pull_audio     |
// | refresh(wake)              | wake(time, ms) at the next frame       | web_page_refresh        | WebBackend::window_present  |
// | musicStart()               | -> ms into the music to start at       | web_page_music_start    | WebBackend::music_start_ms  |
// | filePending(name)          | -> bool: the page is fetching it       | web_file_pending        | platform::file_arrival_wait |
// | fileWait(name)             | -> Promise, settled when it is there   | web_file_wait           | (when filePending)          |
//
// An added call goes into this table, into this object and into an EM_JS
// function; tests/web/browser.mjs drives every one of them.

import * as player from './player.js';
import * as screens from './screens.js';

// The picture's 2D context, made before anything else asks the canvas for
// one (the first request fixes its kind): opaque, and kept in memory rather
// than on the graphics card (willReadFrequently). Each frame replaces every
// pixel from the program's memory, which a memory canvas takes as a plain
// copy (0.2 ms in WebKitGTK without a GPU); a card-backed canvas uploads
// each frame, which took 4 to 9 ms there, where the card is emulated.
const canvas = document.getElementById('canvas');
const context2d = canvas.getContext('2d', {alpha: false, willReadFrequently: true});

// run: {ended}, set by ended(); files: {pending(name), wait(name)} for the
// files the page still fetches while the program runs.
export function pageFor(run, files) {
  // The frame's pixels in place in the module's memory, without a copy; made
  // again when the memory grows (its old buffer is then gone).
  let image = null;
  return {
    open(title) {
      document.title = title;
    },
    draw(rgba, width, height) {
      if (run.ended) return;
      if (!image || image.data.buffer !== rgba.buffer || image.data.byteOffset !== rgba.byteOffset ||
          image.width !== width || image.height !== height) {
        image = new ImageData(new Uint8ClampedArray(rgba.buffer, rgba.byteOffset, width * height * 4), width, height);
      }
      context2d.putImageData(image, 0, 0);
    },
    close() {
      context2d.fillStyle = '#000';
      context2d.fillRect(0, 0, canvas.width, canvas.height);
    },
    messageBox: (caption, text) => screens.messageBox(caption, text),
    ended(code) {
      run.ended = true;
      player.stop();
      screens.ended(code);
    },
    pointerActive: () => screens.showBack(true),
    sound: (state) => player.soundState(state),
    audioOpen: (rate, channels) => player.open(rate, channels),
    audioPlay: () => player.play(),
    audioPush: (samples) => player.push(samples),
    audioFlush: () => player.flush(),
    audioClose: () => player.stop(),
    audioReport: () => player.status(),
    refresh: (wake) => requestAnimationFrame(wake),
    musicStart: () => 0,
    filePending: (name) => files.pending(name),
    fileWait: (name) => files.wait(name),
  };
}
