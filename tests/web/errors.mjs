// The error watch the browser tests put first into a page, before its own
// scripts: it keeps the page's console errors and the errors nobody handled
// (for an engine whose driver reports neither) in window.__test.errors,
// window.__test being the test's own object in the page. It runs in the
// page, so it is handed over as text: `<script>(${watchErrors})();</script>`.
export function watchErrors() {
  const t = {errors: []};
  window.__test = t;
  const consoleError = console.error.bind(console);
  console.error = (...args) => {
    t.errors.push('console error: ' + args.join(' '));
    consoleError(...args);
  };
  // Looked at once every listener has had the event.
  window.addEventListener('error', (e) => setTimeout(() => {
    if (!e.defaultPrevented) t.errors.push('uncaught: ' + e.message);
  }));
  window.addEventListener('unhandledrejection', (e) => setTimeout(() => {
    if (!e.defaultPrevented) t.errors.push('unhandled rejection: ' + String(e.reason && (e.reason.message || e.reason.name)));
  }));
}
