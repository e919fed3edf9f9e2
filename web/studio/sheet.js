// sheet: the preview sheet, as invitation.sh makes it: the capture tool plays
// the visit of every page at 10 frames a second and saves the frames the
// kit lists (in sheetworker.js); here they are laid out three to a row, the
// rows one under the other (for the kit's nine frames: 1920 x 1440), and the
// sheet is a PNG.
//
// The frames are laid out on the page's own thread: a canvas there exists in
// every browser, while some (WebKitGTK) have no 2D OffscreenCanvas in
// workers.

import {workerTask} from './task.js';

// Frames a row: loading and the first two captions; the third, the menu and
// the first page; the other three pages.
const kColumns = 3;

// makeSheet(pak, music, visit, onProgress): the sheet as a PNG Blob. visit
// is {script, frames} as `velmora2k-kit visit --fps 10` and `--frames` give
// them; onProgress gets the share done, 0 to 1, while the capture runs.
export function makeSheet(pak, music, visit, onProgress) {
  return captureFrames(pak, music, visit, onProgress).then(layOut);
}

function captureFrames(pak, music, visit, onProgress) {
  return workerTask(new URL('./sheetworker.js', import.meta.url), {pak, music, script: visit.script, frames: visit.frames}, {
    result: 'frames',
    onProgress,
    failed: (error) => `the preview sheet could not be made: ${error || 'the capture stopped'}`,
    unloaded: (message) => `the preview sheet could not be made (${message || 'the capture tool could not be loaded'})`,
  });
}

async function layOut(pngs) {
  const frames = await Promise.all(pngs.map(decodePng));
  const width = frames[0].width;
  const height = frames[0].height;
  const canvas = document.createElement('canvas');
  canvas.width = width * Math.min(kColumns, frames.length);
  canvas.height = height * Math.ceil(frames.length / kColumns);
  const context = canvas.getContext('2d');
  frames.forEach((frame, i) => {
    context.drawImage(frame, (i % kColumns) * width, Math.floor(i / kColumns) * height);
    if (frame.close) frame.close();
  });
  return new Promise((resolve, reject) => {
    canvas.toBlob((blob) => (blob ? resolve(blob) : reject(new Error('the browser could not write the preview sheet'))),
                  'image/png');
  });
}

// A frame's PNG as something a canvas draws: an ImageBitmap, or an image
// element where createImageBitmap takes no Blob.
async function decodePng(png) {
  const blob = new Blob([png], {type: 'image/png'});
  if (typeof createImageBitmap === 'function') {
    try {
      return await createImageBitmap(blob);
    } catch (e) {
      // Fall back to an image element below.
    }
  }
  const url = URL.createObjectURL(blob);
  try {
    const image = new Image();
    image.src = url;
    await image.decode();
    return image;
  } finally {
    URL.revokeObjectURL(url);
  }
}
