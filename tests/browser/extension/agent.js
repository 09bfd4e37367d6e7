// The test extension's one entry point, shared by its Chromium and Firefox
// builds: runOp(step) does what the test driver asks and resolves to what the
// extension saw, so the same scenarios check both browsers.
const api = globalThis.browser || globalThis.chrome;

async function dataUrl(src) {
  const blob = await (await fetch(src)).blob();
  return new Promise((resolve, reject) => {
    const reader = new FileReader();
    reader.onload = () => resolve(reader.result);
    reader.onerror = () => reject(reader.error);
    reader.readAsDataURL(new Blob([blob], { type: "application/pdf" }));
  });
}

// The document as an extension sends it: the first piece in the request, the
// rest answering each "sendNextData".
async function pdfMessages({ src, first, size, title, url }) {
  const text = await dataUrl(src);
  const pieces = [text.slice(0, first)];
  for (let at = first; at < text.length; at += size) pieces.push(text.slice(at, at + size));
  return pieces.map((data, i) => Object.assign(
    i ? { action: "openPDF" } : { action: "openPDF", title, url },
    { data, dataRest: pieces.length - 1 - i }));
}

async function outerHtml(src) {
  const tab = await api.tabs.create({ url: src, active: false });
  try {
    for (let i = 0; i < 100 && (await api.tabs.get(tab.id)).status !== "complete"; ++i)
      await new Promise((r) => setTimeout(r, 50));
    const code = "document.documentElement.outerHTML";
    if (api.scripting)
      return (await api.scripting.executeScript({ target: { tabId: tab.id }, func: () => document.documentElement.outerHTML }))[0].result;
    return (await api.tabs.executeScript(tab.id, { code }))[0];
  } finally {
    await api.tabs.remove(tab.id);
  }
}

// One port: posts `post` at once, answers each "sendNextData" with the next
// of `pieces`, and ends after `replies` replies, at the disconnectAt-th chunk
// request, when the host goes away, or at the time-out.
function exchange({ host, post, pieces = [], replies = 1, disconnectAt = 0, cancelOnProgress = false, timeoutMs = 100000 }) {
  return new Promise((resolve) => {
    const start = performance.now(), got = [];
    let asked = 0, done = 0, cancelled = false, timer;
    const port = api.runtime.connectNative(host);
    const finish = (end) => {
      clearTimeout(timer);
      resolve({ got, end, ms: performance.now() - start });
    };
    port.onMessage.addListener((m) => {
      got.push(m.action === "sendNextData" ? "sendNextData" : m);
      if (m.action === "sendNextData") {
        if (++asked === disconnectAt) { port.disconnect(); finish("disconnected"); }
        else if (pieces.length) port.postMessage(pieces.shift());
      } else if (m.action === "HTML2PDFProgress" && cancelOnProgress && !cancelled) {
        cancelled = true;
        port.postMessage({ action: "cancel" });
      } else if (m.action === "responceDone" && ++done === replies) {
        port.disconnect();
        finish("done");
      }
    });
    port.onDisconnect.addListener((p) => finish("host gone: " + ((p.error || api.runtime.lastError || {}).message || "")));
    timer = setTimeout(() => { port.disconnect(); finish("timeout"); }, timeoutMs);
    for (const m of post) port.postMessage(m);
  });
}

async function runOp(op) {
  try {
    if (op.kind === "send") {
      const times = [], replies = [];
      for (let i = 0; i < (op.repeat || 1); ++i) {
        const start = performance.now();
        replies.push(await api.runtime.sendNativeMessage(op.host, op.message));
        times.push(performance.now() - start);
      }
      return { got: replies, times };
    }
    if (op.kind === "pdf") {
      const [request, ...pieces] = await pdfMessages(op);
      return await exchange(Object.assign({ post: [request], pieces }, op));
    }
    if (op.kind === "convert") {
      const htmlText = await outerHtml(op.src);
      const post = op.post.map((m) => (m.action === "HTMLoPDF" ? Object.assign({ htmlText }, m) : m));
      return Object.assign(await exchange(Object.assign({}, op, { post })), { htmlText });
    }
    return await exchange(op);
  } catch (e) {
    return { error: String(e && e.message || e) };
  }
}
