// The map in its four formats, all from the same walk and each the same
// bytes for the same tree: JSON for tools, the HTML page (the same map,
// with the links of a page to one target counted once), DOT for Graphviz,
// and lines for editors and CI.  JSON and lines write each broken link as
// it comes, the page each page's when its scan ends, DOT all at the end.
#include "plotmap.h"

#include <stdlib.h>

#include "../text.h"

char pagedir[pathsize];
char pageurl[pathsize];

// Whether the entry to come is the first of its list.
static int firstentry = 1;

static void putquoted(const char *s)
{
	put("\"", 1);
	putjson(s, (int)strlen(s));
	put("\"", 1);
}

static void putbool(int yes)
{
	putstr(yes ? "true" : "false");
}

// A page's number, or null for -1.
static void putpage(int page)
{
	if (page < 0)
		putstr("null");
	else
		putnum(page);
}

// The separator before an entry of a list, one entry a line.
static void putentry(const char *open)
{
	putstr(firstentry ? "\n" : ",\n");
	putstr(open);
	firstentry = 0;
}

// What plotwalk's report names for a link with a directory part, whose
// len bytes are at text: the path that expandworkfile joins, in joined of
// joinedsize bytes; its length.
static int joinedpath(const char *text, int len, char *joined)
{
	char ref[refsize];

	memcpy(ref, text, len);
	ref[len] = '\0';
	return expandworkfile(ref, joined, joinedsize);
}

// The fields that both JSON and the page's data begin with, up to the
// broken links.
static void putstart()
{
	putstr("{\n\"plotmap\":1,\n\"entered\":");
	putquoted(fullname);
	putstr(",\n\"directory\":");
	putquoted(dirname);
	putstr(",\n\"rootname\":");
	putquoted(rootname);
	putstr(",\n\"root\":");
	putnum(rootpage);
	if (format == formathtml) {
		putstr(",\n\"base\":");
		putquoted(pageurl);
	}
	putstr(",\n\"broken\":[");
	firstentry = 1;
}

// The fields that both end with: the pages and the counts.
static void putend()
{
	putstr("\n],\n\"pages\":[");
	firstentry = 1;
	for (int p = 0; p < counts.pages; p++) {
		const mappage &m = pages[p];
		putentry("{\"name\":");
		putquoted(flist[p].name);
		putstr(",\"reached\":");
		putbool(m.reached);
		putstr(",\"depth\":");
		putnum(m.depth);
		putstr(",\"parent\":");
		putpage(m.parent);
		putstr(",\"head\":");
		putpage(m.head);
		putstr(",\"ending\":");
		putbool(m.ending);
		putstr(",\"noending\":");
		putbool(m.noending);
		put("}", 1);
	}
	putstr("\n],\n\"counts\":{\"pages\":");
	putnum(counts.pages);
	putstr(",\"reached\":");
	putnum(counts.reached);
	putstr(",\"notreached\":");
	putnum(counts.notreached);
	putstr(",\"chapters\":");
	putnum(counts.chapters);
	putstr(",\"endings\":");
	putnum(counts.endings);
	putstr(",\"depth\":");
	putnum(counts.depth);
	putstr(",\"deepest\":");
	putnum(counts.deepest);
	putstr(",\"noending\":");
	putnum(counts.noending);
	putstr(",\"broken\":");
	putnum(counts.broken);
	putstr(",\"brokenintree\":");
	putnum(counts.brokenintree);
	putstr("}\n}\n");
}

static void putjsonbroken(const mapbroken *b, const char *text, int len)
{
	putentry("{\"from\":");
	putnum(b->from);
	putstr(",\"line\":");
	putnum(b->line);
	putstr(",\"text\":\"");
	putjson(text, len);
	if (b->isfile) {
		char joined[joinedsize];
		int n = joinedpath(text, len, joined);
		putstr("\",\"kind\":\"file\",\"target\":\"");
		putjson(joined, n);
		putstr("\"}");
	} else {
		putstr("\",\"kind\":\"page\"}");
	}
}

static void putjsonlinks()
{
	putstr("\n],\n\"links\":[");
	firstentry = 1;
	for (int i = 0; i < linkcount; i++) {
		const maplink &l = links[i];
		putentry("{\"from\":");
		putnum(l.from);
		putstr(",\"line\":");
		putnum(l.line);
		putstr(",\"to\":");
		putnum(l.to);
		putstr(",\"text\":");
		if (l.text < 0)
			putquoted(flist[l.to].name);
		else
			putjsontext(&linktexts, l.text);
		put("}", 1);
	}
}

// The path of a page for a shell or an editor.
static void putpagepath(int page)
{
	putshown(pagedir, (int)strlen(pagedir));
	putshown(flist[page].name, (int)strlen(flist[page].name));
}

static void putbrokenline(const mapbroken *b, const char *text, int len)
{
	char joined[joinedsize];

	if (b->isfile) {
		len = joinedpath(text, len, joined);
		text = joined;
	}
	putpagepath(b->from);
	put(":", 1);
	putnum(b->line);
	putstr(": can't find ");
	putshown(text, len);
	put("\n", 1);
}

static void putnotreachedlines()
{
	for (int p = 0; p < counts.pages; p++) {
		if (pages[p].reached)
			continue;
		putpagepath(p);
		putstr(":1: not reached from ");
		putshown(rootname, (int)strlen(rootname));
		if (pages[p].head != p) {
			const char *head = flist[pages[p].head].name;
			putstr("; a link to ");
			putshown(head, (int)strlen(head));
			putstr(" brings it back");
		}
		put("\n", 1);
	}
}

// The links between two pages counted once, in the order first met: the
// pair's pages, how many links, and the first of them.
struct edge {
	int from;
	int to;
	int count;
	int first;
};

// The edges of the links, which come page by page.
static edge *countedges(int *n)
{
	static int at[flistsize]; // the current page's edge to a page + 1
	edge *e = (edge *)malloc(sizeof(edge) * (linkcount + 1));

	if (e == nullptr)
		fatal("out of memory");
	*n = 0;
	for (int i = 0, start = 0; i < linkcount; i++) {
		const maplink &l = links[i];
		if (i == 0 || l.from != links[i - 1].from)
			start = *n;
		int k = at[l.to] - 1;
		if (k >= start && k < *n) {
			e[k].count += l.count;
		} else {
			at[l.to] = *n + 1;
			e[(*n)++] = edge{l.from, l.to, l.count, i};
		}
	}
	return e;
}

// The texts of kept broken links counted once each, in the order first
// met: an open-addressing table of their places in the lists + 1 by the
// text's hash.
struct texttable {
	int *slots;
	unsigned mask;
	int *first; // the kept broken link where it was met first
	int *count;
	int used;
};

// A table for at most most texts.
static void starttexts(texttable *t, int most)
{
	unsigned size = 16;

	while (size < 2u * (unsigned)most)
		size *= 2;
	t->mask = size - 1;
	t->slots = (int *)calloc(size, sizeof(int));
	t->first = (int *)malloc(sizeof(int) * (most + 1));
	t->count = (int *)malloc(sizeof(int) * (most + 1));
	if (t->slots == nullptr || t->first == nullptr || t->count == nullptr)
		fatal("out of memory");
	t->used = 0;
}

// Counts the text of kept broken link i; its place in the lists.
static int counttext(texttable *t, int i)
{
	int len, klen;
	const char *s = textof(&brokentexts, broken[i].text, &len);
	unsigned h = hashexact(s, len) & t->mask;

	for (; t->slots[h] != 0; h = nextslot(h, t->mask)) {
		int k = t->slots[h] - 1;
		const char *ks =
		        textof(&brokentexts, broken[t->first[k]].text, &klen);
		if (klen == len && memcmp(ks, s, len) == 0) {
			t->count[k]++;
			return k;
		}
	}
	int k = t->used++;
	t->slots[h] = k + 1;
	t->first[k] = i;
	t->count[k] = 1;
	return k;
}

static void endtexts(texttable *t)
{
	free(t->slots);
	free(t->first);
	free(t->count);
}

// The broken marks of the page whose broken links are kept, one entry:
// [page, [texts], [links of each], [the first line of each], [a file?]],
// each text once, in the order first met.
static void putmarks()
{
	texttable t;

	if (brokencount == 0)
		return;
	starttexts(&t, brokencount);
	for (int i = 0; i < brokencount; i++)
		counttext(&t, i);
	putentry("[");
	putnum(broken[0].from);
	for (int column = 0; column < 4; column++) {
		putstr(",[");
		for (int k = 0; k < t.used; k++) {
			const mapbroken &b = broken[t.first[k]];
			if (k > 0)
				put(",", 1);
			if (column == 0)
				putjsontext(&brokentexts, b.text);
			else
				putnum(column == 1   ? t.count[k]
				       : column == 2 ? b.line
				                     : b.isfile);
		}
		put("]", 1);
	}
	put("]", 1);
	endtexts(&t);
}

// The page's data after the broken marks: edges as [from, to, links,
// first line], then the pages and counts.
static void putpageend()
{
	int n;
	edge *e = countedges(&n);

	putstr("\n],\n\"edges\":[");
	firstentry = 1;
	for (int k = 0; k < n; k++) {
		putentry("[");
		putnum(e[k].from);
		put(",", 1);
		putnum(e[k].to);
		put(",", 1);
		putnum(e[k].count);
		put(",", 1);
		putnum(links[e[k].first].line);
		put("]", 1);
	}
	free(e);
	putend();
}

static void putdotpage(int p)
{
	putstr("  p");
	putnum(p);
	putstr(" [label=\"");
	putdot(flist[p].name, (int)strlen(flist[p].name));
	put("\"", 1);
	if (p == rootpage)
		putstr(", peripheries=2");
	if (pages[p].ending)
		putstr(", style=\"rounded,filled\", fillcolor=\"#e6f2e6\"");
	putstr("];\n");
}

// For each page and each target that its kept broken links name, a
// dashed red edge to the target's node in targets, with how many links
// there are; the broken links come page by page.
static void putdotmarks(texttable *targets)
{
	for (int start = 0, end; start < brokencount; start = end) {
		texttable t;
		for (end = start; end < brokencount &&
		                  broken[end].from == broken[start].from;
		     end++)
			;
		starttexts(&t, end - start);
		for (int i = start; i < end; i++)
			counttext(&t, i);
		for (int k = 0; k < t.used; k++) {
			putstr("  p");
			putnum(broken[start].from);
			putstr(" -> m");
			// counting again only finds its node
			putnum(counttext(targets, t.first[k]));
			putstr(" [color=red, style=dashed");
			if (t.count[k] > 1) {
				putstr(", label=");
				putnum(t.count[k]);
			}
			putstr("];\n");
		}
		endtexts(&t);
	}
}

static void putdotgraph()
{
	int n;
	edge *e = countedges(&n);

	putstr("digraph story {\n  graph [label=\"");
	putdot(dirname, (int)strlen(dirname));
	putstr("\", labelloc=t];\n  node [shape=box, fontname=\"sans-serif\"];"
	       "\n");
	for (int p = 0; p < counts.pages; p++)
		if (pages[p].reached)
			putdotpage(p);
	if (counts.notreached > 0) {
		putstr("  subgraph cluster_notreached {\n  label=\"not "
		       "reached\";"
		       " style=dashed;\n");
		for (int p = 0; p < counts.pages; p++)
			if (!pages[p].reached)
				putdotpage(p);
		putstr("  }\n");
	}
	for (int k = 0; k < n; k++) {
		putstr("  p");
		putnum(e[k].from);
		putstr(" -> p");
		putnum(e[k].to);
		if (e[k].count > 1) {
			putstr(" [label=");
			putnum(e[k].count);
			put("]", 1);
		}
		putstr(";\n");
	}
	free(e);
	// one node for each text that names nothing, one edge for each page
	// that holds it
	texttable targets;
	starttexts(&targets, brokencount);
	for (int i = 0; i < brokencount; i++)
		counttext(&targets, i);
	for (int k = 0; k < targets.used; k++) {
		int len;
		const char *s = textof(&brokentexts,
		                       broken[targets.first[k]].text, &len);
		putstr("  m");
		putnum(k);
		putstr(" [label=\"");
		putdot(s, len);
		putstr("\", shape=plaintext, fontcolor=red];\n");
	}
	putdotmarks(&targets);
	endtexts(&targets);
	putstr("}\n");
}

void startmap()
{
	if (format == formathtml)
		put(pagehead, pageheadlen);
	if (format == formathtml || format == formatjson)
		putstart();
}

// Keeps a broken link and its len bytes of text for later.
static void keepbroken(const mapbroken *b, const char *text, int len)
{
	static int cap;

	broken = (mapbroken *)grow(broken, &cap, brokencount + 1,
	                           sizeof *broken);
	broken[brokencount] = *b;
	broken[brokencount++].text = keeptext(&brokentexts, text, len);
}

void writebroken(const mapbroken *b, const char *text, int len)
{
	if (format == formatjson)
		putjsonbroken(b, text, len);
	else if (format == formatlines)
		putbrokenline(b, text, len);
	else
		keepbroken(b, text, len);
}

// The page's broken marks once its scan ends; what was kept for them goes.
void endpage()
{
	if (format != formathtml)
		return;
	putmarks();
	brokencount = 0;
	brokentexts.used = 0;
}

void endmap()
{
	if (format == formathtml) {
		putpageend();
		put(pagetail, pagetaillen);
	} else if (format == formatjson) {
		putjsonlinks();
		putend();
	} else if (format == formatdot) {
		putdotgraph();
	} else {
		putnotreachedlines();
	}
}
