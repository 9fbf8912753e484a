// plotmap's command line, and a hostile tree through every format.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const fs = require("node:fs");
const { spawnSync } = require("node:child_process");
const { run, tree, hostiletree } = require("./common.js");

const story = [
  ["story/begin.htm", '<a href="next.htm">on</a> <img src="pics/x.gif">\n'],
  ["story/next.htm", "the end\n"],
  ["story/pics/x.gif", "gif"],
];

// args, the tree's files beyond story, then what the run must give:
// status, stdout (a string or a pattern), stderr (a pattern), and the
// output file's fate.
const rows = [
  { args: ["--help"], status: 0, out: /^Usage: plotmap \[--format/ },
  { args: ["-V"], status: 0, out: "plotmap 1.0.0\n" },
  { args: ["--bogus"], status: 2, err: /unknown option --bogus\n.*Usage/s },
  { args: ["-f", "svg", "story"], status: 2, err: /unknown format svg/ },
  { args: ["story", "-f"], status: 2, err: /a value is missing after -f/ },
  { args: ["story", "story"], status: 2, err: /more than one target: story/ },
  { args: [""], status: 2, err: /the target is empty/ },
  { args: ["x".repeat(256)], status: 2, err: /longer than 255 bytes/ },
  { args: ["-f", "lines", "story"], status: 0, out: "" },
  { args: ["--format=lines", "--", "story/begin.htm"], status: 0, out: "" },
  { args: ["-fjson", "story"], status: 0, out: /"brokenintree":0\}\n\}\n$/ },
  { args: ["-f", "lines", "story"], files: [["story/lost.htm", "<a href=gone.htm>"]],
    status: 1, out: "story/lost.htm:1: can't find gone.htm\nstory/lost.htm:1: not reached from begin.htm\n" },
  // an error before the walk leaves the output file as it was; one
  // during it removes the map begun
  { args: ["-o", "old.json", "nosuch"], files: [["old.json", "old"]], status: 2,
    err: /The directory nosuch doesn't exist/, file: ["old.json", "old"] },
  { args: ["-o", "map.json", "-f", "json", "story"], files: [["story/a.htm/", null]],
    status: 2, err: /Can't open story\\a.htm/, file: ["map.json", null] },
  { args: ["--output=nodir/map.html", "story"], status: 2, err: /cannot write nodir\/map.html/ },
  { args: ["--output", "map.html", "story"], status: 0, out: "", file: ["map.html", /^<!DOCTYPE html>/] },
];

for (const row of rows)
  test(`plotmap ${row.args.join(" ").slice(0, 60)}`, () => {
    const dir = tree([...story, ...(row.files || [])]);
    const r = run(row.args, dir);
    assert.strictEqual(r.status, row.status, r.err);
    if (typeof row.out === "string") assert.strictEqual(r.out.toString(), row.out);
    else if (row.out) assert.match(r.out.toString(), row.out);
    if (row.err) assert.match(r.err, row.err);
    else if (r.status === 0) assert.match(r.err, /^plotmap: \d+ pages|^$/);
    if (row.file) {
      const [name, want] = row.file;
      const there = fs.existsSync(`${dir}/${name}`);
      assert.strictEqual(there, want !== null, `${name} there: ${there}`);
      if (typeof want === "string") assert.strictEqual(fs.readFileSync(`${dir}/${name}`, "utf8"), want);
      else if (want) assert.match(fs.readFileSync(`${dir}/${name}`, "utf8"), want);
    }
  });

test("an HTML map is not written to a terminal", { skip: !spawnSync("script", ["-V"]).stdout.length }, () => {
  const dir = tree(story);
  const r = spawnSync("script", ["-qec", `${process.env.PLOTMAP} story`, "/dev/null"], { cwd: dir });
  assert.strictEqual(r.status, 2);
  assert.match(r.stdout.toString(), /not for a terminal/);
});

test("a hostile tree stays text in every format", () => {
  const dir = hostiletree();
  const json = run(["-f", "json", "a</script>b"], dir);
  assert.strictEqual(json.status, 1, json.err);
  const map = JSON.parse(json.out.toString("utf8"));
  assert.strictEqual(map.directory, "a</script>b");
  const names = map.pages.map((p) => p.name);
  for (const name of ['q"uote<&.htm', "\u2028line.htm", "\ufffd\ufffd.htm", "esc\x1b[31m.htm"])
    assert.ok(names.includes(name), `${JSON.stringify(name)} in ${JSON.stringify(names)}`);
  assert.ok(map.broken.some((b) => b.text === "<\\script><script>alert(1)<\\script>"));
  assert.ok(!/<|>|&|\u2028|\u2029/.test(json.out.toString("utf8")), "<, >, &, U+2028 and U+2029 escaped");

  const lines = run(["-f", "lines", "a</script>b"], dir);
  assert.ok(!/[\x00-\x09\x0b-\x1f\x7f]/.test(lines.out.toString("latin1")), "no control bytes");
  assert.match(lines.out.toString("utf8"), /^a<\/script>b\/esc\?\[31m\.htm:1: can't find /m);

  const html = run(["-o", "map.html", "a</script>b"], dir);
  assert.strictEqual(html.status, 1, html.err);
  const page = fs.readFileSync(`${dir}/map.html`, "latin1");
  assert.strictEqual(page.match(/<script/gi).length, 3, "three scripts");
  assert.strictEqual(page.match(/<\/script/gi).length, 3, "each ends where it should");

  const dot = run(["-f", "dot", "a</script>b"], dir);
  const svg = spawnSync("dot", ["-Tsvg"], { input: dot.out });
  if (svg.error) return; // no Graphviz here
  assert.strictEqual(svg.status, 0, svg.stderr.toString());
  assert.strictEqual(svg.stderr.toString(), "");
});
