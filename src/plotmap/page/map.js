// The story map: the pages laid out by d3-hierarchy's tidy tree, from
// left to right (the tree of the pages reached, from the root, then each
// chapter of pages not reached, from its head, in a band below), every
// link between pages drawn, broken links as red marks under their page;
// click, search, pan and zoom.  Names come from someone else's tree: they
// only ever reach the page as text.
"use strict";
(function () {
  const data = JSON.parse(document.getElementById("data").textContent);
  const pages = data.pages;
  const svgns = "http://www.w3.org/2000/svg";
  const boxw = 150, boxh = 24, colw = 230, markh = 11, markmax = 3, gap = 8;
  const svg = document.getElementById("map");
  const view = document.getElementById("view");
  const panel = {
    page: document.getElementById("page"),
    name: document.getElementById("pagename"),
    facts: document.getElementById("pagefacts"),
    open: document.getElementById("open"),
    out: document.getElementById("out"),
    into: document.getElementById("in"),
    broken: document.getElementById("broken"),
  };

  function el(name, attrs, parent) {
    const e = document.createElementNS(svgns, name);
    for (const k in attrs) e.setAttribute(k, attrs[k]);
    if (parent) parent.appendChild(e);
    return e;
  }

  function html(name, text, parent) {
    const e = document.createElement(name);
    if (text !== undefined) e.textContent = text;
    if (parent) parent.appendChild(e);
    return e;
  }

  function shorten(s, n) { return s.length > n ? s.slice(0, n - 1) + "\u2026" : s; }

  // Each page's links: out and in as [page, links, first line], broken as
  // columns of texts, links, first lines and whether a file is meant; the
  // marks it shows and its height.
  const none = [[], [], [], []];
  pages.forEach((p, i) => { p.id = i; p.out = []; p.in = []; p.broken = none; p.kids = []; });
  for (const [from, to, n, line] of data.edges) {
    pages[from].out.push([to, n, line]);
    pages[to].in.push([from, n, line]);
  }
  for (const [page, ...columns] of data.broken) pages[page].broken = columns;
  for (const p of pages) {
    if (p.parent !== null) pages[p.parent].kids.push(p);
    p.marks = Math.min(p.broken[0].length, markmax) + (p.broken[0].length > markmax ? 1 : 0);
    p.height = boxh + p.marks * markh;
  }

  // The trees: the story's from the root, then one per chapter, one under
  // another.  A page's place across the tree is its middle; neighbours
  // stand their heights apart.
  const tidy = d3.tree().nodeSize([1, colw])
    .separation((a, b) => (a.data.height + b.data.height) / 2 + gap * (a.parent === b.parent ? 1 : 2));
  function place(head, top) {
    const root = tidy(d3.hierarchy(pages[head], (p) => p.kids));
    let min = Infinity, bottom = top;
    root.each((n) => { min = Math.min(min, n.x - n.data.height / 2); });
    root.each((n) => {
      n.data.x = n.y;
      n.data.y = n.x - n.data.height / 2 - min + top;
      bottom = Math.max(bottom, n.data.y + n.data.height);
    });
    return bottom;
  }
  let height = place(data.root, 0), band = null;
  const heads = pages.filter((p) => !p.reached && p.head === p.id);
  if (heads.length > 0) {
    const top = height + 80;
    height = top + 30;
    for (const h of heads) height = place(h.id, height + 12) + 2 * gap;
    band = { top: top, bottom: height };
  }
  const width = Math.max(...pages.map((p) => p.x)) + boxw;

  // Where a link leaves a box and enters another: forward, from the right
  // edge to the left; back or along a column, an arc between the left
  // edges.
  function curve(a, b) {
    const ay = a.y + boxh / 2, by = b.y + boxh / 2;
    if (b.x > a.x) {
      const x1 = a.x + boxw, x2 = b.x, bend = (x2 - x1) / 2;
      return `M${x1},${ay} C${x1 + bend},${ay} ${x2 - bend},${by} ${x2},${by}`;
    }
    const out = 30 + 0.15 * Math.abs(by - ay) + 0.3 * (a.x - b.x);
    return `M${a.x},${ay} C${a.x - out},${ay} ${b.x - out},${by} ${b.x},${by}`;
  }

  // Drawing: the band, the links under the boxes (those of the tree, then
  // the others as one path for each page they leave), the boxes, and on
  // top the links of the page selected.
  if (band) {
    el("rect", { class: "band", x: -60, y: band.top, width: width + 120, height: band.bottom - band.top }, view);
    el("text", { class: "bandlabel", x: -50, y: band.top + 20 }, view).textContent =
      "Not reached from " + pages[data.root].name;
  }
  const edgelayer = el("g", {}, view), boxlayer = el("g", {}, view), hot = el("g", {}, view);
  for (const p of pages) {
    const tree = [], other = [];
    for (const [to] of p.out) if (to !== p.id) (pages[to].parent === p.id ? tree : other).push(to);
    for (const [kind, list] of [["edge tree", tree], ["edge", other]])
      if (list.length > 0)
        el("path", {
          class: kind, d: list.map((to) => curve(p, pages[to])).join(" "),
          "data-from": p.id, "data-to": list.join(" "),
        }, edgelayer);
  }
  for (const p of pages) {
    const kinds = ["box", "far"];
    if (p.id === data.root) kinds.push("root");
    if (p.ending) kinds.push("ending");
    if (!p.reached) kinds.push("notreached");
    if (!p.reached && p.head === p.id) kinds.push("head");
    if (p.reached && p.noending) kinds.push("noending");
    const g = el("g", { class: kinds.join(" "), transform: `translate(${p.x},${p.y})`, "data-page": p.id }, boxlayer);
    el("rect", { width: boxw, height: boxh }, g);
    const [texts, counts, lines, files] = p.broken;
    if (texts.length > 0) el("rect", { class: "marked", y: boxh, width: 8, height: 3 }, g);
    el("title", {}, g).textContent = p.name;
    el("text", { x: 6, y: 16 }, g).textContent = shorten(p.name, 22);
    if (kinds.includes("head")) {
      const n = pages.filter((q) => q.head === p.id).length;
      el("text", { class: "headlabel", x: 0, y: -3 }, g).textContent =
        `A link to it brings back ${n === 1 ? "this page" : n + " pages"}`;
    }
    p.box = g;
    // broken links, a red dash and a line each: the first few targets,
    // then how many more
    texts.slice(0, markmax).forEach((text, k) => {
      el("text", { class: "mark", x: 4, y: boxh + markh * k + 9 }, g).textContent =
        "\u2014 " + shorten(text, 22) + (counts[k] > 1 ? ` \u00d7${counts[k]}` : "");
    });
    if (texts.length > markmax) {
      const links = counts.reduce((sum, n) => sum + n, 0);
      el("text", { class: "mark", x: 4, y: boxh + markh * markmax + 9 }, g).textContent =
        `\u2014 +${texts.length - markmax} more, ${links} links in all`;
    }
  }

  // Pan and zoom: the view's transform, moved by dragging and the wheel.
  let tx = 0, ty = 0, k = 1;
  // Only the boxes near the view show their texts, and none when the map
  // is too small to read: laying out thousands of texts takes longer than
  // drawing all the rest.
  let vw = 0, vh = 0, pendingtexts = false;
  function showtexts() {
    pendingtexts = false;
    const x0 = -tx / k - boxw, x1 = (vw - tx) / k, y0 = -ty / k - markh * 5, y1 = (vh - ty) / k;
    for (const p of pages) {
      const near = k >= 0.35 && p.x > x0 && p.x < x1 && p.y > y0 && p.y < y1;
      if (near !== p.near) p.box.classList.toggle("far", !(p.near = near));
    }
  }
  function show() {
    view.setAttribute("transform", `translate(${tx},${ty}) scale(${k})`);
    if (!pendingtexts) requestAnimationFrame(showtexts);
    pendingtexts = true;
  }
  function measure() {
    const r = svg.getBoundingClientRect();
    vw = r.width;
    vh = r.height;
  }
  window.addEventListener("resize", () => { measure(); show(); });
  // The whole width, the root in the middle of the height; the whole map
  // when it is short.
  function fit() {
    measure();
    const r = { width: vw, height: vh }, root = pages[data.root];
    k = Math.max(0.05, Math.min(1, (r.width - 160) / (width + 120)));
    tx = 100 * k + Math.max(0, (r.width - (width + 120) * k) / 2);
    if (height * k < r.height - 40) ty = (r.height - height * k) / 2;
    else ty = Math.min(20, Math.max(r.height - 20 - height * k, r.height / 2 - (root.y + boxh / 2) * k));
    show();
  }
  function centre(p) {
    k = Math.max(k, 0.8);
    tx = vw / 2 - (p.x + boxw / 2) * k;
    ty = vh / 2 - (p.y + boxh / 2) * k;
    show();
  }
  svg.addEventListener("wheel", (e) => {
    e.preventDefault();
    const r = svg.getBoundingClientRect();
    const f = Math.exp(-e.deltaY * 0.0015), x = e.clientX - r.left, y = e.clientY - r.top;
    const nk = Math.min(4, Math.max(0.02, k * f));
    tx = x - (x - tx) * (nk / k);
    ty = y - (y - ty) * (nk / k);
    k = nk;
    show();
  }, { passive: false });
  let drag = null;
  svg.addEventListener("pointerdown", (e) => {
    if (e.target.closest(".box")) return;
    drag = { x: e.clientX - tx, y: e.clientY - ty };
    svg.classList.add("dragging");
    svg.setPointerCapture(e.pointerId);
  });
  svg.addEventListener("pointermove", (e) => {
    if (!drag) return;
    tx = e.clientX - drag.x;
    ty = e.clientY - drag.y;
    show();
  });
  svg.addEventListener("pointerup", () => { drag = null; svg.classList.remove("dragging"); });

  // Selecting a page: its links in and out drawn on top, its facts listed.
  let selected = null;
  function pagelink(i, extra, parent) {
    const li = html("li", undefined, parent);
    const a = html("span", pages[i].name, li);
    a.className = "pagelink";
    a.addEventListener("click", () => { select(i); centre(pages[i]); });
    if (extra) li.appendChild(document.createTextNode(extra));
  }
  function links(n, line) { return n > 1 ? ` (${n} links, the first on line ${line})` : ` (line ${line})`; }
  function select(i) {
    if (selected !== null) pages[selected].box.classList.remove("selected");
    hot.textContent = "";
    selected = i;
    svg.classList.toggle("selecting", i !== null);
    panel.page.hidden = i === null;
    if (i === null) return;
    const p = pages[i];
    p.box.classList.add("selected");
    for (const [to] of p.out) if (to !== i) el("path", { class: "edge out", d: curve(p, pages[to]), "data-from": i, "data-to": to }, hot);
    for (const [from] of p.in) if (from !== i) el("path", { class: "edge in", d: curve(pages[from], p), "data-from": from, "data-to": i }, hot);
    panel.name.textContent = p.name;
    const facts = [];
    if (i === data.root) facts.push("The root.");
    if (p.reached) facts.push(`Depth ${p.depth}: ${p.depth === 1 ? "one link" : p.depth + " links"} from the root.`);
    else facts.push(`Not reached from the root; a link to ${pages[p.head].name} would bring it back.`);
    if (p.ending) facts.push("An ending: it links to no other page.");
    else if (p.noending) facts.push("No ending can be reached from it.");
    panel.facts.textContent = facts.join(" ");
    panel.open.href = data.base + encodeURIComponent(p.name);
    for (const list of [panel.out, panel.into, panel.broken]) list.textContent = "";
    p.out.forEach(([to, n, line]) => pagelink(to, links(n, line), panel.out));
    p.in.forEach(([from, n, line]) => pagelink(from, links(n, line), panel.into));
    const [texts, counts, lines, files] = p.broken;
    texts.forEach((text, k) =>
      html("li", `${text}${files[k] ? " (a file)" : ""}${links(counts[k], lines[k])}`, panel.broken));
    if (p.out.length === 0) html("li", "none", panel.out);
    if (p.in.length === 0) html("li", "none", panel.into);
    if (texts.length === 0) html("li", "none", panel.broken);
  }
  boxlayer.addEventListener("click", (e) => {
    const g = e.target.closest(".box");
    if (g) select(Number(g.dataset.page));
  });
  document.addEventListener("keydown", (e) => { if (e.key === "Escape") select(null); });

  // Search: the pages whose names hold the text, letter case ignored; Enter
  // goes on to the next.
  const search = document.getElementById("search"), found = document.getElementById("found");
  let matches = [], at = -1;
  function go() {
    at = (at + 1) % matches.length;
    select(matches[at]);
    centre(pages[matches[at]]);
  }
  search.addEventListener("input", () => {
    matches.forEach((i) => pages[i].box.classList.remove("found"));
    const q = search.value.toLowerCase();
    matches = q ? pages.filter((p) => p.name.toLowerCase().includes(q)).map((p) => p.id) : [];
    matches.forEach((i) => pages[i].box.classList.add("found"));
    at = -1;
    found.textContent = q ? `${matches.length} found` : "";
    if (matches.length > 0) go();
  });
  search.addEventListener("keydown", (e) => { if (e.key === "Enter" && matches.length > 0) go(); });
  document.getElementById("fit").addEventListener("click", fit);

  // The counts.
  const c = data.counts, dl = document.getElementById("counts");
  function count(term, value, page) {
    html("dt", term, dl);
    const dd = html("dd", page === undefined ? String(value) : undefined, dl);
    if (page !== undefined) {
      const a = html("span", `${pages[page].name} (${value})`, dd);
      a.className = "pagelink";
      a.addEventListener("click", () => { select(page); centre(pages[page]); });
    }
  }
  count("Pages", c.pages);
  count("Reached", c.reached);
  count("Not reached", c.notreached);
  count("Endings", c.endings);
  count("Broken links", c.broken);
  count("Deepest page", c.depth, c.deepest);
  count("No ending reachable", c.noending);
  document.getElementById("story").textContent = `${data.directory}: root ${data.rootname}`;
  document.title = `Map of ${data.directory}`;

  fit();
  // ready once the first frame is drawn
  requestAnimationFrame(() => requestAnimationFrame(() => {
    document.body.dataset.ready = String(Math.round(performance.now()));
  }));
})();
