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
// "a\\./b/../c/" => "a/c", *dirpath 1; "/../a" => "/a"; "" => "."
int normalise(const char *path, char *out, int size, int *dirpath);
// "x. ." => 1 ("x") as the last component, "x.." => 2 ("x.") as an inner one
int stripped(const char *name, int len, int last);
// ".." => 1; "..." => 0; ".a" => 0
int isdotname(const char *name, int len);
// "a/b/c" => 4 ("c"), *dirlen 3; "/a" => 1, *dirlen 1 ("/")
int lastcomponent(const char *text, int len, int *dirlen);
// "a\\b/c.gif" => 4 ("a\\b/"); "c.gif" => 0
int dirpartlen(const char *path, int len);
// "a" and "b" => "a/b"; "." and "b" => "b"; "/" and "b" => "/b"
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
// "dir./page.htm " => entryfound, path "dir/Page.HTM", where that file
// is the only case match
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
	int countlines; // whether the LFs read are counted
	int counted;    // bytes of the block whose LFs are in lines
	int lines;      // LFs before data + counted
	int line;       // the line the last piece delivered begins on
};

// resources.cpp: out of memory or descriptors, no answer can be trusted,
// and the run ends.
void checkresources(int err); // err from a failed opening
void *xmalloc(size_t n);      // never nullptr

#endif
