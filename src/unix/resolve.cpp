// What a program path names on the host: its directory part resolved
// component by component through the listings, each directory part met
// remembered in the directory cache, then its last component.  A
// component with no entry of exactly its name takes the entry that
// differs from it only in letter case, the lowest in byte order, once
// trailing dots and blanks are stripped as paths.cpp says.
#include "unix.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>

// Directory parts by program text, as written (up to and including the
// last separator) or normalised (which never ends in one), with whether
// they name a host directory (value) and which (text).  Links of a page
// repeat the same few.
constexpr int dirslots = 512;       // twice the directory parts kept
constexpr int dirarenasize = 16384; // their bytes and host directories
static_assert((dirslots & (dirslots - 1)) == 0, "a mask picks the slot");
static_assert(dirarenasize >= 2 * cachekeysize,
              "the arena holds the longest key and text");
static cacheslot dirslot[dirslots];
static char dirarena[dirarenasize];
static textcache dircache = {dirslot, dirslots - 1, dirarena, dirarenasize, 0,
                             0};

// stat of path, the entry e of a listing or nullptr.  A listed regular
// file needs none: open and fstat confirm it before it is read.
static int statentry(const char *path, const char *e, struct stat *st)
{
	if (e != nullptr && entrytype(e) == DT_REG) {
		st->st_mode = S_IFREG;
		return 0;
	}
	return stat(path, st);
}

// Whether match, an entry findentry gave for the len bytes of name, is
// that name letter for letter.
static int isexact(const char *match, const char *name, int len)
{
	return match != nullptr && memcmp(match, name, len) == 0;
}

// Stats e->path, the listed entry match or nullptr: found, or broken for
// a dangling link or a loop.
static void statmatch(const char *match, hostentry *e)
{
	if (statentry(e->path, match, &e->st) == 0)
		e->found = entryfound;
	else if (errno == ENOENT || errno == ELOOP)
		e->found = entrybroken;
}

// A component of nothing but dots and blanks: the directory dir itself,
// as a path that ends in a separator names it.
static void thedirectory(const char *dir, hostentry *e)
{
	e->dirpath = 1;
	if ((int)strlen(dir) >= hostpathsize)
		return;
	strcpy(e->path, dir);
	if (stat(e->path, &e->st) == 0)
		e->found = entryfound;
}

// Looks up a component in a listed directory: the entry of the name as
// written, else of the name stripped as paths.cpp says with letter case
// ignored.
static void matchlisted(const char *dir, const listing *l, const char *name,
                        int len, int last, hostentry *e)
{
	const char *match = findentry(l, name, len);

	if (!isexact(match, name, len)) {
		int slen = stripped(name, len, last);
		if (slen == 0) {
			thedirectory(dir, e);
			return;
		}
		// an inner "..." is ".." now, a name and no step up
		if (isdotname(name, slen))
			return;
		if (slen != len)
			match = findentry(l, name, slen);
	}
	if (match != nullptr &&
	    joinpath(e->path, hostpathsize, dir, match, (int)strlen(match)))
		statmatch(match, e);
}

// Looks up the entry of the host directory dir that a component of len
// bytes names, last or inner.  A directory not listed yet is first asked
// with a stat of the name as written, and listed only when that misses.
static void pickentry(const char *dir, const char *name, int len, int last,
                      hostentry *e)
{
	const listing *l = findlisting(dir);

	e->found = entrymissing;
	if (l == nullptr) {
		if (!joinpath(e->path, hostpathsize, dir, name, len))
			return;
		if (stat(e->path, &e->st) == 0) {
			e->found = entryfound;
			return;
		}
		if (errno != ENOENT) {
			if (errno == ELOOP)
				e->found = entrybroken;
			return;
		}
		l = listingof(dir);
	}
	matchlisted(dir, l, name, len, last, e);
}

// The host directory of normalised text that is the base of others: the
// working directory or the root; nullptr for any other.
static const char *basedir(const char *key, int len)
{
	if (len == 0 || (len == 1 && key[0] == '.'))
		return ".";
	if (len == 1 && key[0] == '/')
		return "/";
	return nullptr;
}

// Resolves normalised text of len bytes into the host directory it names,
// in out of hostpathsize bytes; 0 when it names none.
static int resolvedir(const char *key, int len, char *out)
{
	int known = len, found = 1;

	// back to the longest part already resolved, or a base
	for (;;) {
		const char *base = basedir(key, known);
		if (base != nullptr) {
			strcpy(out, base);
			break;
		}
		if (cachefind(&dircache, key, known, &found, out, hostpathsize))
			break;
		lastcomponent(key, known, &known);
	}
	// then on, a component at a time, each part remembered
	while (found && known < len) {
		int start = key[known] == '/' ? known + 1 : known;
		int end = start;
		while (end < len && key[end] != '/')
			end++;
		hostentry e;
		pickentry(out, key + start, end - start, 0, &e);
		found = e.found == entryfound && S_ISDIR(e.st.st_mode);
		if (found)
			strcpy(out, e.path);
		cacheadd(&dircache, key, end, found, found ? out : "");
		known = end;
	}
	return found;
}

// Resolves the directory part of path, dlen bytes up to and including its
// last separator, into the host directory it names, in out of
// hostpathsize bytes; 0 when it names none.
static int hostdirof(const char *path, int dlen, char *out)
{
	char raw[hostpathsize], norm[hostpathsize];
	int dirpath, found;

	if (dlen == 0) {
		strcpy(out, ".");
		return 1;
	}
	if (cachefind(&dircache, path, dlen, &found, out, hostpathsize))
		return found;
	if (dlen >= hostpathsize)
		return 0;
	memcpy(raw, path, dlen);
	raw[dlen] = '\0';
	int n = normalise(raw, norm, sizeof norm, &dirpath);
	found = n >= 0 && resolvedir(norm, n, out);
	cacheadd(&dircache, path, dlen, found, found ? out : "");
	return found;
}

// Looks up the entry that the last component, namelen bytes of name,
// names in the host directory dir.
static void nameindir(const char *dir, const char *name, int namelen,
                      hostentry *e)
{
	e->dirpath = 0;
	pickentry(dir, name, namelen, 1, e);
	if (e->found == entryfound && e->dirpath && !S_ISDIR(e->st.st_mode))
		e->found = entrymissing;
}

// Looks up what the program path of len bytes names on the host; a path
// that ends in a separator (e->dirpath) names only a directory.
void resolvepath(const char *path, int len, hostentry *e)
{
	char dir[hostpathsize], norm[hostpathsize];
	int dlen = dirpartlen(path, len);

	e->found = entrymissing;
	e->dirpath = 0;
	// the usual link: a directory part as written, then a name
	if (len < hostpathsize && len > dlen &&
	    !isdotname(path + dlen, len - dlen)) {
		if (hostdirof(path, dlen, dir))
			nameindir(dir, path + dlen, len - dlen, e);
		return;
	}
	int n = normalise(path, norm, sizeof norm, &e->dirpath);
	if (n < 0)
		return;
	if (e->dirpath || basedir(norm, n) != nullptr) {
		if (resolvedir(norm, n, e->path) && stat(e->path, &e->st) == 0)
			e->found = entryfound;
		return;
	}
	int dirlen, last = lastcomponent(norm, n, &dirlen);
	if (resolvedir(norm, dirlen, dir))
		nameindir(dir, norm + last, n - last, e);
}
