// Task: one piece of work in a worker of its own, which ends with it (the
// MP3 encoder, the preview sheet's capture). The worker posts {progress}
// (0 to 1) as it goes, then its result under the name given, or {error}.
//
// workerTask(url, message, {result, onProgress, failed, unloaded}): a
// promise of the result; failed(error) and unloaded(message) word the Error
// when the worker reports one (error may be empty) or cannot run at all.
export function workerTask(url, message, {result, onProgress, failed, unloaded}) {
  return new Promise((resolve, reject) => {
    const worker = new Worker(url);
    const end = (settle, value) => {
      worker.terminate();
      settle(value);
    };
    worker.onmessage = ({data}) => {
      if (data.progress !== undefined) {
        if (onProgress) onProgress(data.progress);
      } else if (data[result]) {
        end(resolve, data[result]);
      } else {
        end(reject, new Error(failed(data.error)));
      }
    };
    worker.onerror = (e) => {
      e.preventDefault();
      end(reject, new Error(unloaded(e.message)));
    };
    worker.postMessage(message);
  });
}
