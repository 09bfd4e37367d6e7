// A client of the Vellumix browser host for extensions, in Chrome, Edge and
// Chromium (chrome.runtime) and in Firefox (browser.runtime). Load it in the
// extension's background script or service worker; the extension needs the
// "nativeMessaging" permission and its id in the host's manifests.
//
// Every call opens its own port and posts its requests as one burst: the host
// serves what it finds waiting and exits once its input is drained, so a
// request posted on a port after its last reply meets a host that is gone.
const HOST_NAME = "com.vellumix.browser_host";
// Characters of "data" per message. Chrome's 64 MiB limit on messages to the
// host is far away; Firefox's cost grows with the square of a message's size.
const PIECE_SIZE = 1024 * 1024;

const runtime = () => (globalThis.browser || globalThis.chrome).runtime;

// Cuts text into pieces of at most `size` characters, never between the two
// halves of a surrogate pair (a lone half is not valid JSON text).
function cut(text, size) {
  const pieces = [];
  for (let at = 0; at < text.length || !pieces.length;) {
    let end = Math.min(at + size, text.length);
    const code = text.charCodeAt(end - 1);
    if (end < text.length && end - at > 1 && code >= 0xd800 && code <= 0xdbff) --end;
    pieces.push(text.slice(at, end));
    at = end;
  }
  return pieces;
}

// The messages that carry a document: the first is the request itself, each
// later one answers a "sendNextData".
function chunked(request, text, size) {
  const pieces = cut(text, size);
  return pieces.map((data, i) => ({ ...(i ? { action: request.action } : request), data,
                                    dataRest: pieces.length - 1 - i }));
}

// Posts `requests` on a new port and resolves with their replies, in order
// ({state, answer} each). Replies carry no id: the n-th "responceDone" answers
// the n-th request. A "cancel" that reaches the host after its conversion has
// ended gets a reply of its own (state 0), one more than was asked for; the
// port is closed before it arrives or it is ignored.
//
// Options: pieces, the later pieces of a chunked request; onProgress(value)
// and onError(text) for a conversion's reports; signal, an AbortSignal that
// cancels a conversion; idleTimeoutMs (see below).
//
// Time-outs: none by default. A reply may rightly wait long: a conversion
// runs as long as the converter takes, and when the editor is missing the
// host shows a modal message box and every reply waits until the user closes
// it. The failure signal is the port's disconnect. idleTimeoutMs, if given,
// restarts at every message from the host; when it runs out the port is
// closed, and the browser ends the host (and its message box).
function exchange(requests, { pieces = [], onProgress, onError, signal, idleTimeoutMs = 0 } = {}) {
  return new Promise((resolve, reject) => {
    const port = runtime().connectNative(HOST_NAME);
    const replies = [];
    let timer, ended = false, cancelWanted = false;
    const end = (error) => {
      if (ended) return;
      ended = true;
      clearTimeout(timer);
      port.disconnect();
      if (error) reject(error);
      else resolve(replies);
    };
    const restartTimer = () => {
      if (!idleTimeoutMs) return;
      clearTimeout(timer);
      timer = setTimeout(() => end(new Error(`no word from the host for ${idleTimeoutMs} ms`)),
                         idleTimeoutMs);
    };
    const post = (message) => {
      port.postMessage(message);
      // The host drops a "cancel" that comes while it waits for a piece, so
      // it goes after the last piece.
      if (cancelWanted && !pieces.length) {
        cancelWanted = false;
        port.postMessage({ action: "cancel" });
      }
    };
    port.onMessage.addListener((message) => {
      restartTimer();
      if (message.action === "sendNextData") {
        // Asked once more than expected (a piece it could not parse): end it.
        post(pieces.shift() || { action: requests[0].action, dataRest: 0 });
      } else if (message.action === "HTML2PDFProgress") {
        if (onProgress) onProgress(message.value);
      } else if (message.action === "HTML2PDFError") {
        if (onError) onError(message.value);
      } else if (message.action === "responceDone") {
        replies.push({ state: message.state, answer: message.answer });
        if (replies.length === requests.length) end();
      }
    });
    port.onDisconnect.addListener((p) => {
      // Firefox gives the cause in the port's error, Chrome in lastError
      // (reading it also keeps Chrome from logging it as unchecked).
      const cause = p.error || runtime().lastError;
      end(new Error(`the host went away after ${replies.length} of ${requests.length} replies: ` +
                    (cause ? cause.message : "no cause given")));
    });
    if (signal) signal.addEventListener("abort", () => {
      if (pieces.length) cancelWanted = true;
      else if (!ended) port.postMessage({ action: "cancel" });
    });
    restartTimer();
    requests.forEach(post);
  });
}

const state = (replies) => replies[0].state;

// "11.1.1.0"
async function getVersion(options) {
  return (await exchange([{ action: "actGetVersion" }], options))[0].answer;
}

// dataUrl: "data:application/pdf;base64,...", as FileReader.readAsDataURL
// makes it. The host writes a temporary file and starts the editor with it;
// the editor deletes the file. Resolves with the state (0).
async function openPdf(dataUrl, { title = "", url = "", pieceSize = PIECE_SIZE, ...options } = {}) {
  const [request, ...pieces] = chunked({ action: "openPDF", title, url }, dataUrl, pieceSize);
  return state(await exchange([request], { ...options, pieces }));
}

// URLs exactly as the browser gives them (tab.url): the host escapes every
// reserved character, '%' included, and the editor undoes that once. One
// burst opens them all in one editor start.
async function openUrls(urls, options) {
  return (await exchange(urls.map((URL) => ({ action: "openByURL", URL })), options))
      .map((reply) => reply.state);
}

// fileUrl: "file:///C:/Users/ann/My%20Report.pdf" (still escaped: the host
// resolves the percent escapes of "localPath").
async function openLocalFile(fileUrl, options) {
  const localPath = fileUrl.replace(/^file:\/\/\//i, "");
  return state(await exchange([{ action: "openLocalPDF", localPath }], options));
}

// Resolves with the converter's result (the reference converter: 0 written,
// 3 cancelled; -1 when the converter is missing). The PDF's path is not
// returned: the converter saves it under a name made from the title.
async function convertPage(htmlText, { title = "", ...options } = {}) {
  return state(await exchange([{ action: "HTMLoPDF", title, htmlText }], options));
}

async function convertMhtml(mhtmlText, { title = "", pieceSize = PIECE_SIZE, ...options } = {}) {
  const [request, ...pieces] =
      chunked({ action: "MHTMLoPDF", version: 2, title }, mhtmlText, pieceSize);
  return state(await exchange([request], { ...options, pieces }));
}

if (typeof module !== "undefined") {
  module.exports = { exchange, getVersion, openPdf, openUrls, openLocalFile, convertPage,
                     convertMhtml };
}
