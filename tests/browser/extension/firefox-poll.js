// Firefox: the driver's steps come by long-polling its HTTP server (DRIVER is
// set in driver.js when the driver assembles the extension).
(async () => {
  for (;;) {
    try {
      const r = await fetch(DRIVER + "/next");
      if (r.status !== 200) continue;
      const step = await r.json();
      const result = Object.assign(await runOp(step), { number: step.number });
      await fetch(DRIVER + "/result", { method: "POST", body: JSON.stringify(result) });
    } catch (e) {
      await new Promise((r) => setTimeout(r, 200));
    }
  }
})();
