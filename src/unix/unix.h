// The POSIX host's own interfaces, between its files: the Win32 path
// rules (paths.cpp), the directory listings and the letter-case match
// (listings.cpp), resolving a program path to a host entry (resolve.cpp),
// the text-mode reader (reader.cpp), the calls of host.h that open
// (open.cpp), and running out of memory or descriptors (resources.cpp).
#ifndef PLOTWALK_UNIX_H
#define PLOTWALK_UNIX_H

#include <sys/stat.h>
#include <sys/types.h>

#include "../host.h"

constexpr int hostpathsize = 4096; // a path on the host, NUL included

// paths.cpp: the rules by which Win32 takes a path, as pure functions.
int normalise(const char *path, char *out, int size, int *dirpath);
int stripped(const char *name, int len, int last);
int isdotname(const char *name, int len);
int lastcomponent(const char *text, int len, int *dirlen);
int dirpartlen(const char *path, int len);
int joinpath(char *out, int size, const char *dir, const char *name, int len);

// listings.cpp: a directory's entries, read once a run, with the type
// that readdir gave each.
struct listing;
listing *findlisting(const char *path);
listing *listingof(const char *path);
const char *findentry(const listing *l, const char *name, int len);
unsigned char entrytype(const char *e);

// cache.cpp: texts and what they stand for, kept while they fit.
struct cacheslot {
	unsigned hash;
	int at; // where the key lies in the arena, + 1; 0 for a free slot
	int len;
	int value;
};
struct textcache {
	cacheslot *slots;
	unsigned mask;
	char *arena;
	int size;
	int used;
	int count;
};
constexpr int cachekeysize = 256; // longest key or text a cache keeps
int cachefind(const textcache *c, const char *key, int len, int *value,
              char *text, int size);
void cacheadd(textcache *c, const char *key, int len, int value,
              const char *text);

// resolve.cpp: what a program path names on the host.
enum entrystate {
	entrymissing, // nothing of that name
	entryfound,
	entrybroken, // a link that stat cannot follow: dangling or a loop
};
struct hostentry {
	entrystate found;
	int dirpath;    // the path names only a directory
	struct stat st; // what it names, once found
	char path[hostpathsize];
};
void resolvepath(const char *path, int len, hostentry *e);

// reader.cpp
struct hostfile {
	int fd;
	char *data; // a piece carried over, then a block; on the first read
	int pos;
	int len;
	int col;    // bytes of the current piece that hostfgetswith passed
	off_t left; // bytes still to read of the size at opening
	int eof;
};

// resources.cpp: out of memory or descriptors, no answer can be trusted,
// and the run ends.
void checkresources(int err); // err from a failed opening
void *xmalloc(size_t n);      // never nullptr

#endif
