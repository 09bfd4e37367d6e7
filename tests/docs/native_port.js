// Runs one call of docs/examples/vellumix-client.js under Node, with the
// browser's native port replaced by a stand-in that speaks frames to the host
// through `wine64 pipe_bridge.exe --close HOST`, as a browser's pipes would.
//
//   node native_port.js WINE BRIDGE HOST EXAMPLE CALL
//
// CALL is JSON: {"fn": name, "args": [...], "cancelOnProgress": bool}; the
// call's options get onProgress and onError. Prints one JSON line:
// {"result", "progress", "errors"} or {"error"}.
const { spawn } = require("child_process");
const [wine, bridge, host, example, callText] = process.argv.slice(2);

function connectNative() {
  const heard = { message: [], disconnect: [] };
  const child = spawn(wine, [bridge, "--close", host], { stdio: ["pipe", "pipe", "ignore"] });
  let bytes = Buffer.alloc(0), open = true;
  const port = {
    onMessage: { addListener: (f) => heard.message.push(f) },
    onDisconnect: { addListener: (f) => heard.disconnect.push(f) },
    postMessage(message) {
      const body = Buffer.from(JSON.stringify(message));
      const head = Buffer.alloc(4);
      head.writeUInt32LE(body.length);
      child.stdin.write(Buffer.concat([head, body]));
    },
    disconnect() {
      open = false;
      child.stdin.end();
    },
  };
  child.stdin.on("error", () => {});  // a write after the host has gone
  child.stdout.on("data", (chunk) => {
    bytes = Buffer.concat([bytes, chunk]);
    while (open && bytes.length >= 4 && bytes.length >= 4 + bytes.readUInt32LE(0)) {
      const message = JSON.parse(bytes.subarray(4, 4 + bytes.readUInt32LE(0)).toString());
      bytes = bytes.subarray(4 + bytes.readUInt32LE(0));
      heard.message.forEach((f) => f(message));
    }
  });
  // As Chrome reports a host's end; the port's own disconnect is not reported.
  child.on("close", () => {
    if (!open) return;
    open = false;
    globalThis.chrome.runtime.lastError = { message: "Native host has exited." };
    heard.disconnect.forEach((f) => f(port));
    delete globalThis.chrome.runtime.lastError;
  });
  return port;
}

globalThis.chrome = { runtime: { connectNative } };
const client = require(example);
const call = JSON.parse(callText);
const progress = [], errors = [], abort = new AbortController();
const onProgress = (value) => {
  progress.push(value);
  if (call.cancelOnProgress) abort.abort();
};
const args = [...call.args];
args[call.args.length - 1] = { ...args[call.args.length - 1], onProgress,
                               onError: (text) => errors.push(text), signal: abort.signal };
client[call.fn](...args).then(
    (result) => console.log(JSON.stringify({ result, progress, errors })),
    (error) => console.log(JSON.stringify({ error: error.message })));
