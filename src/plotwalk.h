// plotwalk: the process-wide names and catalogue, and the functions that
// the unit tests call directly.
#ifndef PLOTWALK_H
#define PLOTWALK_H

#include <stdint.h>

constexpr int namesize = 256;             // fullname, dirname, rootname, a line
constexpr int entrynamesize = 128;        // one catalogued name
constexpr int flistsize = 1024;           // catalogue records
constexpr int flistmax = 1023;            // names accepted
constexpr int linesize = 256;             // a piece of a line, as read
constexpr int linepad = 16;               // room past a piece for word loads
constexpr int piecewords = linesize / 64; // 64-bit words of a piece's masks
constexpr int refsize = 256;              // one reference
constexpr int joinedsize = 2 * namesize;  // dirname, backslash, reference
constexpr int maxpathlen = 255;           // longest path that is opened
constexpr int pagepathsize = namesize + entrynamesize; // dirname\name
constexpr int leadsize = pagepathsize + 32; // a report line up to a name

static_assert(flistsize == flistmax + 1,
              "the catalogue has room for the name beyond the limit");
static_assert(linesize % 64 == 0, "a piece's masks are whole words");
static_assert(refsize >= linesize, "a reference cut from a line fits");
static_assert(joinedsize >= namesize + refsize,
              "dirname, a backslash and a reference fit a joined path");

constexpr uint16_t unreached = 0;
constexpr uint16_t scanned = 1;
constexpr uint16_t pending = 2;

struct flistentry {
	char name[entrynamesize];
	uint16_t status;
};

// What a link that the walk follows names.
enum linkfound {
	linkpage,   // a catalogued page, by a bare name
	linknopage, // a bare name that no catalogued page has
	linkfile,   // a path with a directory part that opens
	linknofile, // a path with a directory part that does not
};

// A link as an observer of the walk is told it.  The texts live only for
// the call.
struct walklink {
	int page;         // the catalogue position of the page scanned
	int line;         // the line of that page it stands on, from 1
	const char *text; // the value as cut, slashes turned into backslashes
	int textlen;
	const char
	        *target; // what a report line names: text, or the joined path
	int targetlen;
	linkfound found;
	int entry; // the catalogue position of the page it names, or -1
};

// What a program other than plotwalk sets to be told of the walk instead
// of printing a report: each link followed, and the message of a run that
// ends on an error, after which fail must not return.
struct walkobserver {
	void (*link)(const walklink *link);
	void (*fail)(const char *message);
};
extern const walkobserver *observer;

extern char fullname[namesize];
extern int fullnamelen;
extern char dirname[namesize];
extern int dirnamelen;
extern char rootname[namesize];
extern flistentry flist[flistsize];
extern int flistentries;

void resetstate();
int helpme(int argc, char **argv);
int ishtmlname(const char *name);
void resolvetarget(int argc, char **argv);
void brutesort(flistentry *list, int count);
int indexofname(const flistentry *list, const char *name, int count);
int findname(const char *name, int len);
void listcatalogue();
void readcatalogue();
// A value cut after an equals sign: where it stands in the text and what
// the scanner asks of it, noted in the one pass that finds its end.
struct cutvalue {
	int start; // offset of its first byte from the equals sign
	int len;
	int hascolon;
	int hasseparator;
};

int cut(char *text, cutvalue *v);
int unquotedvalue(const char *line, int e);
int quotedvalue(char *line, int e, cutvalue *v);
void maskpiece(const char *line, int len, uint64_t *equals);
int getworkfile(char *ref, int size, char *text);
int expandworkfile(const char *ref, char *path, int size);
extern const char missingformat[];
int missinglead(char *lead, int size, const char *page);
int missingline(char *line, int size, const char *lead, int leadlen,
                const char *name, int namelen);
void plotwalk(const char *name);
int findroot();
void walkpending();
void walktree();

#endif
