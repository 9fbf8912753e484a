// The walk, as plotwalk's module tells it through its observer: every
// link to a page is kept, and every broken link handed to the format as it
// comes.  The pages of the tree come first, as plotwalk's report has them;
// the verdict taken, the pages not reached are walked too, so that their
// own links show.
#include "plotmap.h"

#include <stdarg.h>
#include <stdlib.h>

mapformat format;
int rootpage;
mappage pages[flistsize];
maplink *links;
int linkcount;
textarena linktexts;
mapbroken *broken;
int brokencount;
textarena brokentexts;
mapcounts counts;
const char *outputpath;

static int linkcap;
static int page = -1;         // the page whose links are coming
static int pagestart;         // its first link to a page
static int sameto[flistsize]; // its link to a page, + 1

[[noreturn]] void fatal(const char *format, ...)
{
	va_list ap;

	// a map begun is no map
	if (outputpath != nullptr)
		remove(outputpath);
	fflush(stdout);
	fputs("plotmap: ", stderr);
	va_start(ap, format);
	vfprintf(stderr, format, ap);
	va_end(ap);
	fputc('\n', stderr);
	exit(2);
}

// p, an array of *cap elements of size bytes, with room for need; *cap is
// its new size.
void *grow(void *p, int *cap, int need, int size)
{
	if (need <= *cap)
		return p;
	int n = *cap > 0 ? *cap : 64;
	while (n < need) {
		if (n > (1 << 29) / size)
			fatal("the map is too large");
		n *= 2;
	}
	p = realloc(p, (size_t)n * size);
	if (p == nullptr)
		fatal("out of memory");
	*cap = n;
	return p;
}

// Keeps the len bytes at s in a; where they are kept.
int keeptext(textarena *a, const char *s, int len)
{
	int at = a->used;

	a->bytes = (char *)grow(a->bytes, &a->cap, at + 1 + len, 1);
	a->bytes[at] = (char)len;
	memcpy(a->bytes + at + 1, s, len);
	a->used += 1 + len;
	return at;
}

// The module's observer: keeps each link to a page, and hands each broken
// link to the format; links to files that open are not drawn.  A page's
// links all come before the next page's.
static void seelink(const walklink *l)
{
	if (l->page != page) {
		if (page >= 0)
			endpage();
		page = l->page;
		pagestart = linkcount;
	}
	if (l->found == linkpage) {
		// only JSON lists every link; the others want each pair of
		// pages once, with how many links join them
		int k = sameto[l->entry] - 1;
		if (format != formatjson && k >= pagestart && k < linkcount) {
			links[k].count++;
			return;
		}
		// most links name their page as the directory lists it
		const char *name = flist[l->entry].name;
		int same = (int)strlen(name) == l->textlen &&
		           memcmp(name, l->text, l->textlen) == 0;
		links = (maplink *)grow(links, &linkcap, linkcount + 1,
		                        sizeof *links);
		sameto[l->entry] = linkcount + 1;
		links[linkcount++] = maplink{
		        (uint16_t)l->page, (uint16_t)l->entry, l->line,
		        same ? -1 : keeptext(&linktexts, l->text, l->textlen),
		        1};
	} else if (l->found == linknopage || l->found == linknofile) {
		mapbroken b = {(uint16_t)l->page,
		               (uint16_t)(l->found == linknofile), l->line, 0};
		writebroken(&b, l->text, l->textlen);
		counts.broken++;
	}
}

static void seefailure(const char *message)
{
	fatal("%s", message);
}

static const walkobserver mapobserver = {seelink, seefailure};

// Finds the story that target names (nullptr for the working directory)
// as plotwalk does: its directory, catalogue and root.
void beginwalk(const char *target)
{
	char *argv[] = {(char *)"plotmap", (char *)target, nullptr};

	observer = &mapobserver;
	resolvetarget(target != nullptr ? 2 : 1, argv);
	listcatalogue();
	rootpage = findroot();
}

// Walks the story from the root, takes the verdict, then walks the pages
// it did not reach.
void walkstory()
{
	flist[rootpage].status = pending;
	walkpending();
	counts.brokenintree = counts.broken;
	for (int i = 0; i < flistentries; i++) {
		pages[i].reached = flist[i].status == scanned;
		if (!pages[i].reached)
			flist[i].status = pending;
	}
	walkpending();
	if (page >= 0)
		endpage();
}
