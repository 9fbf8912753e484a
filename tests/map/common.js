// What plotmap's tests share: runs of the built programs, story trees in
// fresh temporary directories, and maps opened in headless Chromium.
// PLOTMAP and PLOTWALK name the programs; CHROMIUM the browser.
"use strict";
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { spawnSync } = require("node:child_process");

const plotmap = process.env.PLOTMAP;

// Runs plotmap with args in cwd: its status, stdout (a Buffer) and stderr.
function run(args, cwd) {
  const r = spawnSync(plotmap, args, { cwd, timeout: 60000 });
  return { status: r.status, out: r.stdout, err: r.stderr.toString() };
}

// A fresh directory holding files, [name, content] with null content for
// a directory and Buffers for names that are bytes; removed when the test
// process ends.
function tree(files) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), "plotmap-"));
  process.on("exit", () => fs.rmSync(dir, { recursive: true, force: true }));
  for (const [name, content] of files) {
    const at = Buffer.concat([Buffer.from(dir + "/"), Buffer.from(name)]);
    fs.mkdirSync(at.subarray(0, at.lastIndexOf("/")), { recursive: true });
    if (content === null) fs.mkdirSync(at, { recursive: true });
    else fs.writeFileSync(at, content);
  }
  return dir;
}

// A story of n pages: each hangs below an earlier one and links to two
// more, a few links are broken, and the last pages link only among
// themselves, a chapter the root does not reach.
function bigstory(n) {
  let seed = 7;
  const pick = (k) => (seed = (seed * 1103515245 + 12345) % 2147483648) % k;
  const name = (i) => `${String(i).padStart(4, "0")}-page.htm`;
  const links = Array.from({ length: n }, () => []);
  for (let i = 1; i < n - 20; i++) links[pick(i)].push(i);
  for (let i = n - 20; i < n - 1; i++) links[i].push(i + 1, n - 20 + pick(20));
  const files = [];
  for (let i = 0; i < n; i++) {
    const more = i < n - 20 ? [pick(n - 20), pick(n - 20)] : [];
    const body = [...links[i], ...more].map((j) => `<a href="${name(j)}">on</a>\n`).join("");
    const broken = i % 97 === 0 ? '<img src="pics/missing.gif">\n<a href=gone.htm>x</a>\n' : "";
    files.push([name(i), `<html><body>\n${body}${broken}</body></html>\n`]);
  }
  return tree(files);
}

// A story whose names and links would change markup, end a script or a
// string, or are no UTF-8, in a directory whose path holds </script>;
// a list of strings and bytes is their concatenation.
function hostiletree() {
  const b = (...parts) => Buffer.concat(parts.map((p) => Buffer.from(p)));
  const at = "a</script>b/";
  return tree([
    [at + "index.htm", b('<a href=q"uote<&.htm>1</a> <a href="\u2028line.htm">2</a>\n<a href=', [0xff, 0xfe],
      '.htm>3</a> <a href=esc\x1b[31m.htm>4</a>\n<a href="</script><script>alert(1)</script>">5</a> <a href=x\u2029&amp;y>6</a>\n')],
    [at + 'q"uote<&.htm', "<a href=index.htm>"],
    [at + "\u2028line.htm", "x"],
    [b(at, [0xff, 0xfe], ".htm"), "<a href=\u2028line.htm>"],
    [at + "esc\x1b[31m.htm", '<img src="pics/\x1b]0;x\x07.gif">'],
  ]);
}

// Opens the HTML map at file in headless Chromium: the page, the errors
// its scripts raised, the dialogs it opened, and the milliseconds it took
// to be ready.
async function openmap(browser, file) {
  const page = await browser.newPage({ viewport: { width: 1400, height: 900 } });
  const errors = [], dialogs = [];
  page.on("pageerror", (e) => errors.push(String(e)));
  page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
  page.on("dialog", (d) => { dialogs.push(d.message()); d.dismiss(); });
  await page.goto("file://" + file);
  await page.waitForSelector("body[data-ready]", { timeout: 30000 });
  const ready = Number(await page.getAttribute("body", "data-ready"));
  return { page, errors, dialogs, ready };
}

async function launch() {
  const { chromium } = require("playwright-core");
  return chromium.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
}

module.exports = { run, tree, bigstory, hostiletree, openmap, launch };
