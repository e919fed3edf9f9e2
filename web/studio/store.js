// Store: the studio's work kept in the browser's own storage (IndexedDB), so
// that a page reloaded by mistake opens where it was. Nothing leaves the
// computer. Two records: the work as it stands and the work before the last
// folder was opened (so that opening one over unsaved work loses nothing).
//
// A record: {folder: {path: Uint8Array}, music: {key, mp3} | null,
//            changedAt, keptAt} (seconds since 1970; kept: when the folder
//            was last downloaded as a zip).
// Where the browser keeps no storage (a private window in some), every call
// settles quietly and the work lives as long as the page.

const kDatabase = 'velmora2k-studio';
const kStore = 'work';
export const kCurrent = 'current';
export const kBefore = 'before';

let opened = null;

function database() {
  if (!opened) {
    opened = new Promise((resolve) => {
      let request;
      try {
        request = indexedDB.open(kDatabase, 1);
      } catch (e) {
        resolve(null);
        return;
      }
      request.onupgradeneeded = () => request.result.createObjectStore(kStore);
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => resolve(null);
      request.onblocked = () => resolve(null);
    });
  }
  return opened;
}

function transact(mode, work) {
  return database().then((db) => new Promise((resolve) => {
    if (!db) {
      resolve(null);
      return;
    }
    try {
      const store = db.transaction(kStore, mode).objectStore(kStore);
      const request = work(store);
      request.onsuccess = () => resolve(request.result ?? null);
      request.onerror = () => resolve(null);
    } catch (e) {
      resolve(null);
    }
  }));
}

export const load = (name) => transact('readonly', (s) => s.get(name));
export const save = (name, record) => transact('readwrite', (s) => s.put(record, name));
export const remove = (name) => transact('readwrite', (s) => s.delete(name));
