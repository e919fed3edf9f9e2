// The screen layout the program, the art and the browser tests share:
// layout.json, copied beside these scripts by prepare.sh.
import fs from 'node:fs';

export const kLayout = JSON.parse(fs.readFileSync(new URL('./layout.json', import.meta.url), 'utf8'));
export const kWidth = kLayout.screen.width;
export const kHeight = kLayout.screen.height;

// A point inside the named button, (dx, dy) picture pixels from its top left.
export function inButton(name, dx, dy) {
  const b = kLayout.buttons.find((button) => button.name === name);
  if (!b) throw new Error(`layout.json has no button "${name}"`);
  return {x: b.x + dx, y: b.y + dy};
}
