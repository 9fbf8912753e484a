// plotmap: the map of a story as plotwalk walks it, shared by its files:
// the walk and what it keeps (map.cpp), what the map shows of it
// (graph.cpp), the output and its escaping (output.cpp) and the four
// formats (formats.cpp).
#ifndef PLOTMAP_H
#define PLOTMAP_H

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "../plotwalk.h"

enum mapformat { formathtml, formatdot, formatjson, formatlines };
extern mapformat format;

// Texts one after another, each after a byte of its length: link values,
// cut from pieces of at most 255 bytes.
struct textarena {
	char *bytes;
	int used;
	int cap;
};
static_assert(linesize <= 256, "a value's length fits in a byte");

// One link to a catalogued page that the walk followed; outside JSON,
// the first of a page's links to another page, standing for them all.
struct maplink {
	uint16_t from; // the catalogue position of the page it stands in
	uint16_t to;   // the catalogue position of the page it names
	int line;
	int text;  // its value, in linktexts; -1 for the page's own name
	int count; // the links it stands for: 1 but outside JSON
};

// One link that names nothing: a bare name no page has, or a path with a
// directory part that does not open, which plotwalk's report names by
// the path that expandworkfile joins.  The text lies in brokentexts.
struct mapbroken {
	uint16_t from;
	uint16_t isfile; // a path with a directory part
	int line;
	int text;
};

// What the map shows of a catalogued page.
struct mappage {
	int reached;  // in the story tree: the verdict's, before the rest
	int depth;    // fewest links from the root, or from its chapter's head
	int parent;   // the page whose link first brought it at that depth
	int head;     // not reached: the page that would bring its chapter back
	int ending;   // links to no other page
	int noending; // no ending can be reached from it
};

// The map's counts, of the pages in the tree unless they say otherwise.
struct mapcounts {
	int pages; // all catalogued pages
	int reached;
	int notreached;
	int chapters; // groups of pages not reached, one head each
	int endings;
	int depth;   // the largest depth
	int deepest; // the first page of that depth
	int noending;
	int broken;       // broken links of all pages
	int brokenintree; // those of the pages in the tree: plotwalk's report
};

// The map, process-wide; the catalogue itself is plotwalk's flist.  The
// links to pages are all kept; broken links are written as they come,
// and kept only as long as a format needs them: those of the page being
// scanned for the HTML page, all for DOT.
extern int rootpage;
extern mappage pages[flistsize];
extern maplink *links;
extern int linkcount;
extern textarena linktexts;
extern mapbroken *broken;
extern int brokencount;
extern textarena brokentexts;
extern mapcounts counts;

// map.cpp
[[noreturn]] void fatal(const char *format, ...)
        __attribute__((format(printf, 1, 2)));
extern const char *outputpath;
void *grow(void *p, int *cap, int need, int size);
int keeptext(textarena *a, const char *s, int len);

// The kept text at text, of *len bytes.
inline const char *textof(const textarena *a, int text, int *len)
{
	*len = (unsigned char)a->bytes[text];
	return a->bytes + text + 1;
}
void beginwalk(const char *target);
void walkstory();

// graph.cpp
void shapemap();

// output.cpp: the map's bytes on their way to a stream, through a buffer
// that put() fills.
constexpr int outsize = 65536;
extern char outbuf[outsize];
extern int outlen;
void startoutput(FILE *stream);
int endoutput();
void putlong(const char *s, int len);
void putnum(long n);
void putjson(const char *s, int len); // len at most pathsize
void putdot(const char *s, int len);
void putshown(const char *s, int len);
void putjsontext(const textarena *a, int text);

// Inline, so that a literal's length and copy are worked out when it is
// compiled.
inline void put(const char *s, int len)
{
	if (len > outsize - outlen) {
		putlong(s, len);
		return;
	}
	memcpy(outbuf + outlen, s, len);
	outlen += len;
}

inline void putstr(const char *s)
{
	put(s, (int)strlen(s));
}

// formats.cpp
constexpr int pathsize = 4096; // a directory's path on the host
extern char pagedir[pathsize]; // relative, for the lines format
extern char pageurl[pathsize]; // absolute, for the page's links
void startmap();
void writebroken(const mapbroken *b, const char *text, int len);
void endpage();
void endmap();

// The page's parts, made by the build from src/plotmap/page.
extern const char pagehead[];
extern const int pageheadlen;
extern const char pagetail[];
extern const int pagetaillen;

#endif
