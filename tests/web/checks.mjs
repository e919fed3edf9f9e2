// The browser tests' named checks, in the style of tests/checks.sh: check
// prints "ok: WHAT" or throws with WHAT; passed prints a check made by hand.
export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

export function passed(what) {
  console.log('ok: ' + what);
}

export function check(ok, what) {
  if (!ok) throw new Error(what);
  passed(what);
}
