// Prints, for each HTML map named, the median of five openings in
// headless Chromium of the milliseconds from the start of its loading to
// its first frame drawn, one line each.
"use strict";
const path = require("node:path");
const { openmap, launch } = require("../tests/map/common.js");

(async () => {
  const browser = await launch();
  for (const file of process.argv.slice(2)) {
    const times = [];
    for (let i = 0; i < 5; i++) {
      const m = await openmap(browser, path.resolve(file));
      if (m.errors.length > 0) throw new Error(m.errors.join("\n"));
      times.push(m.ready);
      await m.page.close();
    }
    times.sort((a, b) => a - b);
    console.log(times[2]);
  }
  await browser.close();
})();
