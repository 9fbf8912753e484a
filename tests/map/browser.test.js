// The HTML map in a real headless Chromium, used as a person uses it: the
// sample story, a story of 1,023 pages and a hostile tree.  Screenshots go
// to SHOTS.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const fs = require("node:fs");
const path = require("node:path");
const { run, tree, bigstory, hostiletree, openmap, launch } = require("./common.js");

try {
  require.resolve("playwright-core");
} catch {
  console.log("# playwright-core is not installed: run npm ci in tests/map");
  process.exit(77);
}
const shots = process.env.SHOTS || ".";
let browser;
test.before(async () => { browser = await launch(); });
test.after(async () => { if (browser) await browser.close(); });

// Writes the map of target in dir and opens it.
async function mapof(dir, target) {
  const r = run(["-o", "map.html", target], dir);
  assert.ok(r.status === 0 || r.status === 1, r.err);
  return openmap(browser, path.join(dir, "map.html"));
}

// Every box, where it stands; every link drawn, where it begins and ends.
function drawing() {
  const boxes = [...document.querySelectorAll(".box")].map((g) => {
    const m = g.transform.baseVal.consolidate().matrix, r = g.querySelector("rect");
    return { x: m.e, y: m.f, w: r.width.baseVal.value, h: r.height.baseVal.value };
  });
  const links = [];
  for (const p of document.querySelectorAll("#view path")) {
    const to = p.dataset.to.split(" ").map(Number);
    p.getAttribute("d").split("M").slice(1).forEach((sub, k) => {
      const xy = sub.trim().split(/[ C]+/).map((s) => s.split(",").map(Number));
      links.push({ from: Number(p.dataset.from), to: to[k], start: xy[0], end: xy[xy.length - 1] });
    });
  }
  return { boxes, links, data: JSON.parse(document.getElementById("data").textContent) };
}

// Whether point [x, y] lies on the border of box b.
function onborder([x, y], b) {
  const near = (u, v) => Math.abs(u - v) < 0.01;
  const inx = x > b.x - 0.01 && x < b.x + b.w + 0.01, iny = y > b.y - 0.01 && y < b.y + b.h + 0.01;
  return (inx && iny) && (near(x, b.x) || near(x, b.x + b.w) || near(y, b.y) || near(y, b.y + b.h));
}

async function checkmap(m, pages, shot) {
  const { boxes, links, data } = await m.page.evaluate(drawing);
  assert.strictEqual(boxes.length, pages, "one box per page");
  const order = boxes.map((b, i) => i).sort((a, b) => boxes[a].x - boxes[b].x);
  for (let i = 0; i < order.length; i++)
    for (let j = i + 1; j < order.length && boxes[order[j]].x < boxes[order[i]].x + boxes[order[i]].w; j++) {
      const a = boxes[order[i]], b = boxes[order[j]];
      assert.ok(a.y + a.h <= b.y || b.y + b.h <= a.y, `boxes ${order[i]} and ${order[j]} overlap`);
    }
  for (const l of links) {
    assert.ok(onborder(l.start, boxes[l.from]), `link ${l.from}->${l.to} begins on its box`);
    assert.ok(onborder(l.end, boxes[l.to]), `link ${l.from}->${l.to} ends on its box`);
  }
  const drawn = new Set(links.map((l) => `${l.from} ${l.to}`));
  const edges = data.edges.filter(([f, t]) => f !== t);
  assert.deepStrictEqual([...drawn].sort(), edges.map(([f, t]) => `${f} ${t}`).sort(), "every link drawn once");

  // a click on the root draws its links in and out and lists it
  const root = data.root, box = await m.page.locator(`.box[data-page="${root}"] rect`).first().boundingBox();
  await m.page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
  const hot = await m.page.evaluate(() => ["out", "in"].map((k) => document.querySelectorAll(`path.edge.${k}`).length));
  assert.deepStrictEqual(hot, [edges.filter(([f]) => f === root).length, edges.filter(([, t]) => t === root).length]);
  assert.strictEqual(await m.page.textContent("#pagename"), data.pages[root].name);

  // the search finds the last page by its name
  const last = data.pages[pages - 1].name;
  await m.page.locator("#search").pressSequentially(last);
  assert.strictEqual(await m.page.textContent("#pagename"), last);
  assert.ok(await m.page.locator(`.box.found.selected[data-page="${pages - 1}"]`).count() === 1);
  await m.page.screenshot({ path: path.join(shots, shot) });
  assert.deepStrictEqual(m.errors, []);
  assert.deepStrictEqual(m.dialogs, []);
  console.log(`# ${shot}: ready in ${m.ready} ms`);
  await m.page.close();
}

test("the sample story's map", async () => {
  const dir = tree([]);
  fs.cpSync(path.join(__dirname, "../../examples/story"), path.join(dir, "story"), { recursive: true });
  await checkmap(await mapof(dir, "story"), 5, "map-story.png");
});

test("a map of 1,023 pages", async () => {
  await checkmap(await mapof(bigstory(1023), "."), 1023, "map-1023.png");
});

test("a hostile tree's map runs no script of its own and shows its names as text", async () => {
  const m = await mapof(hostiletree(), "a</script>b");
  assert.strictEqual(await m.page.title(), "Map of a</script>b");
  assert.strictEqual(await m.page.locator("script").count(), 3);
  assert.strictEqual(await m.page.locator("img, iframe, object").count(), 0);
  const titles = await m.page.$$eval(".box title", (ts) => ts.map((t) => t.textContent));
  assert.ok(titles.includes('q"uote<&.htm') && titles.includes("\u2028line.htm"), JSON.stringify(titles));
  assert.deepStrictEqual(m.errors, []);
  assert.deepStrictEqual(m.dialogs, []);
  await m.page.close();
});
