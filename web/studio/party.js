// Party: the studio's view of a party folder's party.txt as the form edits
// it. A value is changed on its own line, so the organiser's comments, order
// and other keys stay as they wrote them; a key given a value for the first
// time goes at the end, and an optional key emptied loses its line.
//
// The folder itself is a plain object {path: Uint8Array}, as the kit takes it.

export const kPartyFile = 'party.txt';
const kLine = /^\s*([A-Za-z_]+)\s*:\s?(.*)$/;

const encoder = new TextEncoder();
const decoder = new TextDecoder();

export const text = (bytes) => (bytes ? decoder.decode(bytes).replace(/^\uFEFF/, '') : '');
export const bytes = (string) => encoder.encode(string);

// Lines of party.txt (LF or CR LF), the last one without its end.
function lines(folder) {
  return text(folder[kPartyFile]).split(/\r?\n/);
}

// key -> {value, line (1-based)} for every "key: value" line; a key given
// twice keeps its first line (the kit reports the second).
export function values(folder) {
  const found = {};
  lines(folder).forEach((line, i) => {
    if (line.trimStart().startsWith('#')) return;
    const m = kLine.exec(line);
    if (m && !(m[1] in found)) found[m[1]] = {value: m[2].trim(), line: i + 1};
  });
  return found;
}

// The key whose line is line (1-based), or null.
export function keyAt(folder, line) {
  for (const [key, v] of Object.entries(values(folder))) {
    if (v.line === line) return key;
  }
  return null;
}

// A copy of folder with key set to value (a value with line breaks is
// joined into one line); an empty value removes the key's line.
export function withValue(folder, key, value) {
  const all = lines(folder);
  const one = value.replace(/\s*[\r\n]+\s*/g, ' ').trim();
  const at = values(folder)[key];
  if (at && one === '') {
    all.splice(at.line - 1, 1);
  } else if (at) {
    all[at.line - 1] = `${key}: ${one}`;
  } else if (one !== '') {
    while (all.length && all[all.length - 1] === '') all.pop();
    all.push(`${key}: ${one}`, '');
  }
  return {...folder, [kPartyFile]: bytes(all.join('\n'))};
}

// A copy of folder without the files whose names match test.
export function without(folder, test) {
  const kept = {};
  for (const [path, data] of Object.entries(folder)) if (!test(path)) kept[path] = data;
  return kept;
}

// Files the command line passes over too (hidden ones: ".DS_Store",
// ".git/"), and the "__MACOSX/" folder of resource forks that macOS's zip
// puts beside the folder.
function passedOver(path) {
  const parts = path.split('/');
  return parts[0] === '__MACOSX' || parts.some((part) => part.startsWith('.'));
}

// The paths of a folder read from a zip or a folder pick, put right: what
// passedOver names is left out, and a folder whose every file lies under
// one top folder (as "zip -r" of the folder or a folder pick gives it) is
// taken from inside that folder.
export function fromTop(read) {
  const folder = without(read, passedOver);
  const paths = Object.keys(folder);
  if (paths.length === 0 || kPartyFile in folder) return folder;
  const top = paths[0].split('/')[0] + '/';
  if (!paths.every((p) => p.startsWith(top) && p.length > top.length)) return folder;
  const inner = {};
  for (const [path, data] of Object.entries(folder)) inner[path.slice(top.length)] = data;
  return inner;
}

// The folder's bytes together.
export function size(folder) {
  return Object.values(folder).reduce((sum, data) => sum + data.length, 0);
}
