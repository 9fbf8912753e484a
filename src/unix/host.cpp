// Host services on POSIX.  The program's paths are Windows paths, and
// they reach the file system here the way Win32 would take them:
//  - '/' and '\' both separate, a run of them counts as one, and a path
//    that begins with one starts at the root;
//  - '.' and '..' are resolved as text, '..' at the root staying there;
//  - the last component loses its trailing dots and blanks, and an inner
//    one a single trailing dot, unless an entry of the written name
//    exists (POSIX can hold such names; Windows cannot);
//  - a path that ends in a separator names a directory, never a file;
//  - a component with no entry of exactly its name takes the entry that
//    differs from it only in ASCII letter case, the lowest in byte order.
// A directory whose entries case matching needs is listed once a run and
// kept, and so is one the program lists itself; a file that a kept
// listing shows as regular is opened with no stat before, and open and
// fstat confirm it.  The directory parts of recent paths are remembered,
// as written and as resolved, the last one met found again unhashed, and
// so are the probes that took a system call.
// Pages read as text: CR LF as LF, a Ctrl-Z ends the text, and a file
// yields at most the size it had when it was opened.  Running out of
// memory or descriptors is no verdict: it flushes the report and aborts.
#include "../host.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

constexpr int hostpathsize = 4096;
constexpr int readsize = 65536;
constexpr int carrysize = 256; // longest piece passed over across blocks
constexpr int outsize = 32768;
constexpr int cachekeysize = 256;     // longest text a cache keeps
constexpr int dirslots = 512;         // twice the directory parts kept
constexpr int dirarenasize = 16384;   // their bytes and host directories
constexpr int probeslots = 1024;      // twice the probed paths kept
constexpr int probearenasize = 16384; // their bytes
static_assert((dirslots & (dirslots - 1)) == 0);
static_assert((probeslots & (probeslots - 1)) == 0);
// one arena holds a key and its host text of the longest kept
static_assert(dirarenasize >= 2 * cachekeysize &&
              probearenasize >= 2 * cachekeysize);
static_assert(cachekeysize <= hostpathsize);

struct listing;

// An open directory, and the listing its entries go into as they are read
// (nullptr when it is listed already): the catalogue's one pass lists it.
struct hostdir {
	DIR *dir;
	listing *list;
	int whole; // read to its end without an error
};

struct hostfile {
	int fd;
	char *data; // a piece carried over, then a block; on the first read
	int pos;
	int len;
	int col;    // bytes of the current piece that hostfgetswith passed
	off_t left; // bytes still to read of the size at opening
	int eof;
	int streak; // the last piece hostfgetswith found followed its own last
};

// The entries of one directory: each name after a byte of its d_type, one
// after another, and an open-addressing table of the names' offsets + 1
// by the folded name's hash.
struct listing {
	char *path;
	char *names;
	size_t used;
	size_t cap;
	int count;
	int *slots;
	unsigned mask;
};

// Listings by directory path, open addressing; grows to stay half empty.
static listing **listings;
static unsigned listingsmask;
static unsigned listingcount;

// A remembered text: its hash, where it lies in the arena (+ 1; 0 for a
// free slot), its length and its value.
struct cacheslot {
	unsigned hash;
	int at;
	int len;
	int value;
};

// Texts and what they stand for: keys one after another in an arena, each
// followed by a text of its own, and an open-addressing table of slots
// kept half empty.  When either fills, it starts over: a run needs only
// what it met lately, and a small cache touches few pages.
struct textcache {
	cacheslot *slots;
	unsigned mask;
	char *arena;
	int size;
	int used;
	int count;
	unsigned starts; // times it started over
};

// Directory parts by program text, raw (up to and including the last
// separator) or resolved (which never ends in one), each with the host
// directory it names (value: its length) or none (value -1).
static cacheslot dirslot[dirslots];
static char dirarena[dirarenasize];
static textcache dircache = {
        dirslot, dirslots - 1, dirarena, dirarenasize, 0, 0, 0};

// The dircache slot of the directory part that hostdirof met last, valid
// while dircache has not started over since (lastdirstarts), and the
// listing of the host directory it names once one is kept.
static const cacheslot *lastdir;
static unsigned lastdirstarts;
static listing *lastdirlist;

// Paths given to hostcanopen, and whether they opened (value).
static cacheslot probeslot[probeslots];
static char probearena[probearenasize];
static textcache probecache = {
        probeslot, probeslots - 1, probearena, probearenasize, 0, 0, 0};

// System calls that looked at the file system so far: an answer that took
// none is as cheap to find again as to remember.
static unsigned long hostcalls;

enum { nothing, entry, unfollowable };

// Out of memory or descriptors: the run cannot tell what is there.
static void checkresources(int e)
{
	if (e == EMFILE || e == ENFILE || e == ENOMEM)
		die();
}

static void *xmalloc(size_t n)
{
	void *p = malloc(n);

	if (p == nullptr)
		die();
	return p;
}

static int isseparator(char c)
{
	return c == '/' || c == '\\';
}

static int foldchar(unsigned char c)
{
	return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

// Hashes len bytes, each first masked by a byte of mask, eight at a time:
// paths and names are hashed once or more per link.
static unsigned hashbytes(const char *s, size_t len, uint64_t mask)
{
	const char *end = s + len;
	uint64_t h = len, w = 0;
	int whole = len >= 8;

	for (; len > 8; len -= 8, s += 8) {
		memcpy(&w, s, 8);
		h = (h ^ (w & mask)) * 0x9e3779b97f4a7c15ull;
		h ^= h >> 29;
	}
	// the last one to eight bytes: shifted down from the word that ends
	// with them when the text is that long, else gathered one by one
	if (whole) {
		memcpy(&w, end - 8, 8);
		w >>= (8 - len) * 8;
	} else {
		for (size_t i = 0; i < len; i++)
			w |= (uint64_t)(unsigned char)s[i] << (8 * i);
	}
	h = (h ^ (w & mask)) * 0x9e3779b97f4a7c15ull;
	return (unsigned)(h ^ (h >> 32));
}

// Names equal but for letter case hash alike: clearing bit 5 maps a to z
// onto A to Z (and merges a few other pairs, which costs only a look).
static unsigned hashfolded(const char *s, int len)
{
	return hashbytes(s, len, 0xdfdfdfdfdfdfdfdfull);
}

static unsigned hashtext(const char *s, size_t len)
{
	return hashbytes(s, len, ~0ull);
}

static int foldequal(const char *a, const char *b, int blen)
{
	int i;

	for (i = 0; i < blen; i++)
		if (a[i] == '\0' || foldchar(a[i]) != foldchar(b[i]))
			return 0;
	return a[i] == '\0';
}

// The slot of the len bytes of key, whose hash is h; nullptr when the
// cache does not hold it.
static cacheslot *cachefind(const textcache *c, const char *key, int len,
                            unsigned h)
{
	for (unsigned i = h & c->mask; c->slots[i].at != 0;
	     i = (i + 1) & c->mask) {
		cacheslot *s = &c->slots[i];
		if (s->hash == h && s->len == len &&
		    memcmp(c->arena + s->at - 1, key, len) == 0)
			return s;
	}
	return nullptr;
}

// The text kept after a slot's key, NUL-terminated.  It stays only until
// the next cacheadd on the same cache.
static const char *cachetext(const textcache *c, const cacheslot *s)
{
	return c->arena + s->at - 1 + s->len;
}

// Remembers the len bytes of key, whose hash is h, with value and the
// textlen bytes of text; nullptr when either is too long to keep.
static cacheslot *cacheadd(textcache *c, const char *key, int len, unsigned h,
                           int value, const char *text, int textlen)
{
	if (len >= cachekeysize || textlen >= cachekeysize)
		return nullptr;
	int need = len + textlen + 1;
	if (c->used + need > c->size || 2 * (c->count + 1) > (int)c->mask + 1) {
		memset(c->slots, 0, (c->mask + 1) * sizeof *c->slots);
		c->used = c->count = 0;
		c->starts++;
	}
	unsigned i = h & c->mask;
	while (c->slots[i].at != 0)
		i = (i + 1) & c->mask;
	cacheslot *s = &c->slots[i];
	char *at = c->arena + c->used;
	memcpy(at, key, len);
	memcpy(at + len, text, textlen);
	at[len + textlen] = '\0';
	s->hash = h;
	s->at = c->used + 1;
	s->len = len;
	s->value = value;
	c->used += need;
	c->count++;
	return s;
}

// stat, counted in hostcalls.
static int hoststat(const char *path, struct stat *st)
{
	hostcalls++;
	return stat(path, st);
}

// Joins dir and the len bytes of name with a '/' ("." adds nothing);
// 0 when it does not fit.
static int joinpath(char *out, int size, const char *dir, const char *name,
                    int len)
{
	int dlen = strcmp(dir, ".") == 0 ? 0 : (int)strlen(dir);
	int sep = dlen > 0 && dir[dlen - 1] != '/';

	if (dlen + sep + len >= size)
		return 0;
	memmove(out, dir, dlen);
	if (sep)
		out[dlen] = '/';
	memcpy(out + dlen + sep, name, len);
	out[dlen + sep + len] = '\0';
	return 1;
}

// An empty listing of the host directory path, to be filled by listentry.
static listing *newlisting(const char *path)
{
	listing *l = (listing *)xmalloc(sizeof *l);

	l->path = strdup(path);
	if (l->path == nullptr)
		die();
	l->cap = 4096;
	l->used = 0;
	l->count = 0;
	l->names = (char *)xmalloc(l->cap);
	l->slots = nullptr;
	return l;
}

// Adds an entry and its d_type to a listing being filled.
static void listentry(listing *l, const char *name, unsigned char type)
{
	size_t n = strlen(name) + 1;

	if (l->used + 1 + n > l->cap) {
		l->cap = 2 * l->cap + 1 + n;
		l->names = (char *)realloc(l->names, l->cap);
		if (l->names == nullptr)
			die();
	}
	l->names[l->used] = (char)type;
	memcpy(l->names + l->used + 1, name, n);
	l->used += 1 + n;
	l->count++;
}

// Builds the table of a filled listing.
static void endlisting(listing *l)
{
	unsigned size = 16;

	while (size < 2u * l->count)
		size *= 2;
	l->mask = size - 1;
	l->slots = (int *)calloc(size, sizeof *l->slots);
	if (l->slots == nullptr)
		die();
	for (size_t off = 1, len; off < l->used; off += len + 2) {
		len = strlen(l->names + off);
		unsigned h = hashfolded(l->names + off, (int)len) & l->mask;
		while (l->slots[h] != 0)
			h = (h + 1) & l->mask;
		l->slots[h] = (int)off + 1;
	}
}

static void freelisting(listing *l)
{
	free(l->path);
	free(l->names);
	free(l->slots);
	free(l);
}

// The d_type that the listing gave an entry findentry returned.
static unsigned char entrytype(const char *e)
{
	return (unsigned char)e[-1];
}

// stat of path, the entry e of a listing or nullptr.  A listed regular
// file needs none: before open and fstat confirm it, its type is all a
// caller asks of st.  A link or an unknown type is stat'ed.
static int statentry(const char *path, const char *e, struct stat *st)
{
	if (e != nullptr && entrytype(e) == DT_REG) {
		st->st_mode = S_IFREG;
		return 0;
	}
	return hoststat(path, st);
}

static listing *readlisting(const char *path)
{
	listing *l = newlisting(path);
	DIR *dir;

	// a directory that cannot be read matches nothing
	hostcalls++;
	dir = opendir(path);
	if (dir == nullptr)
		checkresources(errno);
	for (struct dirent *ent; dir && (ent = readdir(dir)) != nullptr;)
		listentry(l, ent->d_name, ent->d_type);
	if (dir != nullptr)
		closedir(dir);
	endlisting(l);
	return l;
}

static void addlisting(listing *l)
{
	if (2 * (listingcount + 1) > listingsmask + 1) {
		unsigned oldsize = listings ? listingsmask + 1 : 0;
		unsigned size = oldsize ? 2 * oldsize : 16;
		listing **old = listings;
		listings = (listing **)calloc(size, sizeof *listings);
		if (listings == nullptr)
			die();
		listingsmask = size - 1;
		listingcount = 0;
		for (unsigned i = 0; i < oldsize; i++)
			if (old[i] != nullptr)
				addlisting(old[i]);
		free(old);
	}
	unsigned h = hashtext(l->path, strlen(l->path)) & listingsmask;
	while (listings[h] != nullptr)
		h = (h + 1) & listingsmask;
	listings[h] = l;
	listingcount++;
}

// The directory's listing if it has been read, else nullptr.
static listing *findlisting(const char *path)
{
	static listing *last; // links of a page mostly share a directory

	if (last != nullptr && strcmp(last->path, path) == 0)
		return last;
	if (listings == nullptr)
		return nullptr;
	unsigned h = hashtext(path, strlen(path)) & listingsmask;
	for (; listings[h] != nullptr; h = (h + 1) & listingsmask)
		if (strcmp(listings[h]->path, path) == 0)
			return last = listings[h];
	return nullptr;
}

// The directory's listing, read on its first use in the run.
static listing *listingof(const char *path)
{
	listing *l = findlisting(path);

	if (l == nullptr) {
		l = readlisting(path);
		addlisting(l);
	}
	return l;
}

// The entry of exactly the len bytes of name, else the lowest in byte
// order that differs from them only in letter case, else nullptr.
static const char *findentry(const listing *l, const char *name, int len)
{
	const char *best = nullptr;
	unsigned h = hashfolded(name, len) & l->mask;

	for (; l->slots[h] != 0; h = (h + 1) & l->mask) {
		const char *e = l->names + l->slots[h] - 1;
		// the name as written is the usual find, and the quickest told
		if (strncmp(e, name, len) == 0 && e[len] == '\0')
			return e;
		if (!foldequal(e, name, len))
			continue;
		if (best == nullptr || strcmp(e, best) < 0)
			best = e;
	}
	return best;
}

// Writes path with '/' between its components and '.' and '..' resolved
// as text; *dirpath tells whether it ended in a separator.  Returns the
// length, or -1 when it does not fit.  A relative path that is left
// empty is ".".
static int normalise(const char *path, char *out, int size, int *dirpath)
{
	int n = 0, base, i = 0;

	if (isseparator(path[0]))
		out[n++] = '/';
	base = n;
	*dirpath = 0;
	while (path[i] != '\0') {
		while (isseparator(path[i]))
			i++;
		int start = i;
		i += (int)strcspn(path + i, "/\\");
		int len = i - start;
		if (len == 0)
			break;
		*dirpath = path[i] != '\0';
		if (len == 1 && path[start] == '.')
			continue;
		if (len == 2 && path[start] == '.' && path[start + 1] == '.') {
			int prev = n;
			while (prev > base && out[prev - 1] != '/')
				prev--;
			int kept = n - prev == 2 && out[prev] == '.' &&
			           out[prev + 1] == '.';
			if (n > base && !kept) {
				n = prev > base ? prev - 1 : base;
				continue;
			}
			// '..' above the root stays at the root; above the
			// working directory it is left for the host
			if (base > 0)
				continue;
		}
		if (n + (n > base) + len >= size)
			return -1;
		if (n > base)
			out[n++] = '/';
		memcpy(out + n, path + start, len);
		n += len;
	}
	if (n == 0)
		out[n++] = '.';
	out[n] = '\0';
	return n;
}

// How long the name is once trailing dots and blanks go (the last
// component) or one trailing dot (an inner one).
static int stripped(const char *name, int len, int last)
{
	if (!last)
		return len > 0 && name[len - 1] == '.' ? len - 1 : len;
	while (len > 0 && (name[len - 1] == '.' || name[len - 1] == ' '))
		len--;
	return len;
}

// Puts into out the entry of directory dir that the component of len
// bytes names, and stats it into st.  Returns nothing when there is
// none, unfollowable for a link that stat cannot follow, entry otherwise.
// When a last component strips down to nothing, out becomes dir itself
// and *dirpath is set.
static int pickentry(const char *dir, const char *name, int len, int last,
                     char *out, int size, struct stat *st, int *dirpath)
{
	if (!joinpath(out, size, dir, name, len))
		return nothing;
	// a directory listed already tells without a stat that a name is
	// missing from it
	listing *l = findlisting(dir);
	const char *match = l ? findentry(l, name, len) : nullptr;
	if (l == nullptr ||
	    (match != nullptr && memcmp(match, name, len) == 0)) {
		if (statentry(out, match, st) == 0)
			return entry;
		if (errno != ENOENT)
			return errno == ELOOP ? unfollowable : nothing;
		// missing as written: a dangling link of that name stays itself
		l = listingof(dir);
		match = findentry(l, name, len);
		if (match != nullptr && memcmp(match, name, len) == 0)
			return unfollowable;
	}
	int slen = stripped(name, len, last);
	if (slen == 0) {
		*dirpath = 1;
		if ((int)strlen(dir) >= size)
			return nothing;
		strcpy(out, dir);
		return hoststat(out, st) == 0 ? entry : nothing;
	}
	// an inner "..." is ".." now, a name and no step up
	if (name[0] == '.' && (slen == 1 || (slen == 2 && name[1] == '.')))
		return nothing;
	// the same length finds what it found before
	if (slen != len)
		match = findentry(l, name, slen);
	if (match == nullptr ||
	    !joinpath(out, size, dir, match, (int)strlen(match)))
		return nothing;
	if (statentry(out, match, st) == 0)
		return entry;
	return errno == ELOOP || errno == ENOENT ? unfollowable : nothing;
}

// Where the last component of normalised text of len bytes begins; the
// directory part before it is *dirlen bytes long ("/" keeps its slash).
static int lastcomponent(const char *text, int len, int *dirlen)
{
	int last = len;

	while (last > 0 && text[last - 1] != '/')
		last--;
	*dirlen = last > 1 ? last - 1 : last;
	return last;
}

// Resolves the directory part key (normalised text, len bytes) into the
// host directory it names; 0 when it names none.
static int resolvedir(const char *key, int len, char *out, int size)
{
	if (len == 0 || (len == 1 && key[0] == '.')) {
		memcpy(out, ".", 2);
		return 1;
	}
	if (len == 1 && key[0] == '/') {
		memcpy(out, "/", 2);
		return 1;
	}

	unsigned h = hashtext(key, len);
	const cacheslot *s = cachefind(&dircache, key, len, h);
	if (s != nullptr) {
		if (s->value < 0 || s->value >= size)
			return 0;
		memcpy(out, cachetext(&dircache, s), s->value + 1);
		return 1;
	}

	int parentlen, last = lastcomponent(key, len, &parentlen);
	struct stat st;
	int dirpath = 0, found = 0;
	if (resolvedir(key, parentlen, out, size)) {
		// one buffer serves every level: the recursion is over by now
		static char parent[hostpathsize];
		memcpy(parent, out, strlen(out) + 1);
		found = pickentry(parent, key + last, len - last, 0, out, size,
		                  &st, &dirpath) == entry &&
		        S_ISDIR(st.st_mode);
	}
	int hostlen = found ? (int)strlen(out) : 0;
	cacheadd(&dircache, key, len, h, found ? hostlen : -1, out, hostlen);
	return found;
}

// The length of the directory part of path, up to and including its last
// separator; 0 when it has none.
static int dirpartlen(const char *path, int len)
{
	// a name after the last separator is short: a loop beats two searches
	while (len > 0 && !isseparator(path[len - 1]))
		len--;
	return len;
}

// The slot of the directory part that hostdirof met last, while the
// cache has not started over since; nullptr otherwise.
static const cacheslot *lastdirkept()
{
	return dircache.starts == lastdirstarts ? lastdir : nullptr;
}

// The slot of the directory part of path, dlen bytes, when it is the one
// hostdirof met last; nullptr otherwise.  Links of a page, and of page
// after page, share one, which this finds with no hash.
static const cacheslot *lastdirslot(const char *path, int dlen)
{
	const cacheslot *s = lastdirkept();

	if (s == nullptr || s->len != dlen ||
	    memcmp(path, dircache.arena + s->at - 1, dlen) != 0)
		return nullptr;
	return s;
}

// The host directory that the directory part of path, dlen bytes up to
// and including its last separator, names; nullptr when it names none.
// Links of a page repeat the same directory part, which this resolves
// once as written, with no normalising.  The text lasts until the next
// directory is resolved.
static const char *hostdirof(const char *path, int dlen)
{
	if (dlen == 0)
		return ".";
	unsigned h = hashtext(path, dlen);
	const cacheslot *s = cachefind(&dircache, path, dlen, h);
	if (s == nullptr) {
		static char host[hostpathsize];
		char raw[hostpathsize], norm[hostpathsize];
		int dirpath;
		if (dlen >= hostpathsize)
			return nullptr;
		memcpy(raw, path, dlen);
		raw[dlen] = '\0';
		int n = normalise(raw, norm, sizeof norm, &dirpath);
		int found = n >= 0 && resolvedir(norm, n, host, sizeof host);
		int hostlen = found ? (int)strlen(host) : 0;
		s = cacheadd(&dircache, path, dlen, h, found ? hostlen : -1,
		             host, hostlen);
		if (s == nullptr)
			return found ? host : nullptr;
	}
	if (s != lastdirkept()) {
		lastdir = s;
		lastdirstarts = dircache.starts;
		lastdirlist = nullptr;
	}
	return s->value < 0 ? nullptr : cachetext(&dircache, s);
}

// When the last component of a path of len bytes is a plain name (not
// empty, "." or ".."), sets *plain and *dlen and returns the host
// directory that names it, nullptr for none: normalising the path would
// only put that name after its normalised directory part.  Otherwise
// *plain is 0.  Inlined: for a link of a known directory the call costs
// as much as the answer.
[[gnu::always_inline]] static inline const char *
plaindir(const char *path, int len, int *dlen, int *plain)
{
	*dlen = dirpartlen(path, len);
	const char *name = path + *dlen;
	int namelen = len - *dlen;
	*plain = len < hostpathsize && namelen > 0 &&
	         !(name[0] == '.' &&
	           (namelen == 1 || (namelen == 2 && name[1] == '.')));
	if (!*plain)
		return nullptr;
	// the usual answer, found before hostdirof sets up its buffers
	const cacheslot *s = lastdirslot(path, *dlen);
	if (s != nullptr)
		return s->value < 0 ? nullptr : cachetext(&dircache, s);
	return hostdirof(path, *dlen);
}

// The kept listing of the host directory dir that plaindir gave, nullptr
// for none; a listing once kept stays for the run.
static listing *listingofdir(const char *dir)
{
	const cacheslot *s = lastdirkept();

	if (s == nullptr || dir != cachetext(&dircache, s))
		return findlisting(dir);
	if (lastdirlist == nullptr)
		lastdirlist = findlisting(dir);
	return lastdirlist;
}

// Whether dir is listed and holds no entry that the last component,
// namelen bytes of name, could name: none of its letters in any case, and
// nothing to strip.  pickentry answers nothing for it, without a stat.
static int listedwithout(const char *dir, const char *name, int namelen)
{
	listing *l = listingofdir(dir);

	return l != nullptr && stripped(name, namelen, 1) == namelen &&
	       findentry(l, name, namelen) == nullptr;
}

// hostpath for the last component, namelen bytes of name, in the host
// directory dir.
static int nameindir(const char *dir, const char *name, int namelen, char *out,
                     int size, struct stat *st, int *dirpath)
{
	*dirpath = 0;
	int r = pickentry(dir, name, namelen, 1, out, size, st, dirpath);
	if (r == entry && *dirpath && !S_ISDIR(st->st_mode))
		return nothing;
	return r;
}

// Turns a program path of len bytes into the host's in out, and stats
// what it names into st.  Returns nothing, unfollowable or entry as
// pickentry does; a path that ends in a separator (*dirpath) names only a
// directory.
static int hostpath(const char *path, int len, char *out, int size,
                    struct stat *st, int *dirpath)
{
	int dlen, plain;
	const char *dir = plaindir(path, len, &dlen, &plain);

	if (plain) {
		*dirpath = 0;
		if (dir == nullptr)
			return nothing;
		return nameindir(dir, path + dlen, len - dlen, out, size, st,
		                 dirpath);
	}
	char norm[hostpathsize], dirbuf[hostpathsize];
	int n = normalise(path, norm, sizeof norm, dirpath);
	if (n < 0)
		return nothing;
	if (*dirpath || (n == 1 && (norm[0] == '.' || norm[0] == '/'))) {
		if (!resolvedir(norm, n, out, size))
			return nothing;
		return hoststat(out, st) == 0 ? entry : nothing;
	}
	int dirlen, last = lastcomponent(norm, n, &dirlen);
	if (!resolvedir(norm, dirlen, dirbuf, sizeof dirbuf))
		return nothing;
	return nameindir(dirbuf, norm + last, n - last, out, size, st, dirpath);
}

hostdir *hostopendir(const char *path)
{
	char host[hostpathsize];
	struct stat st;
	int dirpath;
	hostdir *d;
	DIR *dir;

	if (path[0] == '\0') {
		errno = ENOTDIR;
		return nullptr;
	}
	switch (hostpath(path, (int)strlen(path), host, sizeof host, &st,
	                 &dirpath)) {
	case nothing:
		errno = ENOENT;
		return nullptr;
	case unfollowable:
		errno = ENOTDIR; // a dangling link or a loop
		return nullptr;
	}
	if (!S_ISDIR(st.st_mode)) {
		errno = ENOTDIR;
		return nullptr;
	}
	dir = opendir(host);
	if (dir == nullptr) {
		checkresources(errno);
		return nullptr;
	}
	d = (hostdir *)xmalloc(sizeof *d);
	d->dir = dir;
	d->list = findlisting(host) == nullptr ? newlisting(host) : nullptr;
	d->whole = 0;
	errno = 0;
	return d;
}

const char *hostreaddir(hostdir *d)
{
	int saved = errno;

	errno = 0;
	struct dirent *ent = readdir(d->dir);
	if (ent == nullptr) {
		d->whole = errno == 0;
		errno = saved;
		return nullptr;
	}
	errno = saved;
	if (d->list != nullptr)
		listentry(d->list, ent->d_name, ent->d_type);
	return ent->d_name;
}

// A listing read to its end is kept; one cut short is not whole.
void hostclosedir(hostdir *d)
{
	if (d->list != nullptr && d->whole &&
	    findlisting(d->list->path) == nullptr) {
		endlisting(d->list);
		addlisting(d->list);
	} else if (d->list != nullptr) {
		freelisting(d->list);
	}
	closedir(d->dir);
	free(d);
}

// Opens what hostpath made of a path, its outcome r, host path and stat
// st, as hostfopen does.
static hostfile *openhost(int r, const char *host, struct stat *st, int dirpath)
{
	hostfile *f;
	int fd;

	if (r != entry || dirpath)
		return nullptr;
	// Only regular files: a FIFO or device must neither block nor be read.
	if (!S_ISREG(st->st_mode))
		return nullptr;
	hostcalls++;
	fd = open(host, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (fd < 0) {
		checkresources(errno);
		return nullptr;
	}
	if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
		close(fd);
		return nullptr;
	}
	f = (hostfile *)calloc(1, sizeof *f);
	if (f == nullptr)
		die();
	f->fd = fd;
	f->left = st->st_size;
	return f;
}

hostfile *hostfopen(const char *path)
{
	char host[hostpathsize];
	struct stat st;
	int dirpath;
	int r = hostpath(path, (int)strlen(path), host, sizeof host, &st,
	                 &dirpath);

	return openhost(r, host, &st, dirpath);
}

int hostcanopen(const char *path, int len)
{
	char host[hostpathsize];
	struct stat st;
	int dlen, plain, dirpath, r;

	// a missing directory holds no name, and a listed one tells at once
	// whether it holds one
	const char *dir = plaindir(path, len, &dlen, &plain);
	if (plain && dir == nullptr)
		return 0;
	if (plain && listedwithout(dir, path + dlen, len - dlen))
		return 0;
	// pages link to the same few files again and again
	unsigned h = hashtext(path, len);
	const cacheslot *s = cachefind(&probecache, path, len, h);
	if (s != nullptr)
		return s->value;
	unsigned long calls = hostcalls;
	if (plain)
		r = nameindir(dir, path + dlen, len - dlen, host, sizeof host,
		              &st, &dirpath);
	else
		r = hostpath(path, len, host, sizeof host, &st, &dirpath);
	hostfile *f = openhost(r, host, &st, dirpath);
	int found = f != nullptr;
	if (f != nullptr && hostfclose(f) != 0)
		die();
	if (hostcalls != calls)
		cacheadd(&probecache, path, len, h, found, "", 0);
	return found;
}

// A block buffer that a closed file gave back, for the next file to
// read into: pages are read one after another, and a new one for each
// would cost an allocation and fresh pages.
static char *spareblock;

static char *takeblock()
{
	char *b = spareblock;

	spareblock = nullptr;
	return b != nullptr ? b : (char *)xmalloc(carrysize + readsize);
}

static void giveblock(char *b)
{
	if (spareblock == nullptr)
		spareblock = b;
	else
		free(b);
}

// Reads the next block after the col bytes of the piece passed over so
// far, which stay in front of it, and ends the text at a Ctrl-Z; 0 at
// the end of the text or after an error.  CR LF pairs are left as they
// are for readpiece, which meets every one at the end of a line.
static int refill(hostfile *f)
{
	ssize_t r = 0;

	if (f->eof)
		return 0;
	if (f->data == nullptr)
		f->data = takeblock();
	memmove(f->data, f->data + f->len - f->col, f->col);
	f->pos = f->len = f->col;
	size_t want = f->left < readsize ? (size_t)f->left : readsize;
	if (want > 0)
		do
			r = read(f->fd, f->data + f->len, want);
		while (r < 0 && errno == EINTR);
	if (r <= 0) {
		// the end, a read error or a file that shrank
		f->eof = 1;
		return 0;
	}
	f->left -= r;
	char *z = (char *)memchr(f->data + f->len, 0x1a, r);
	if (z != nullptr) {
		r = z - (f->data + f->len);
		f->left = 0;
	}
	f->len += (int)r;
	return r > 0 || refill(f);
}

// Copies the next piece into buf as fgets would in text mode: up to and
// including a LF, at most size-1 bytes, CR LF read as LF.  Returns its
// length, 0 at the end.
static int readpiece(char *buf, int size, hostfile *f)
{
	int n = 0;

	f->col = 0;
	while (n < size - 1) {
		if (f->pos == f->len && !refill(f))
			break;
		int take = f->len - f->pos;
		if (take > size - 1 - n)
			take = size - 1 - n;
		char *src = f->data + f->pos;
		char *nl = (char *)memchr(src, '\n', take);
		if (nl != nullptr)
			take = (int)(nl - src) + 1;
		memcpy(buf + n, src, take);
		n += take;
		f->pos += take;
		if (nl != nullptr) {
			if (n >= 2 && buf[n - 2] == '\r')
				buf[--n - 1] = '\n';
			break;
		}
	}
	// a CR that fills the piece is the CR of a CR LF when a LF follows
	if (n == size - 1 && n > 0 && buf[n - 1] == '\r' &&
	    (f->pos < f->len || refill(f)) && f->data[f->pos] == '\n') {
		buf[n - 1] = '\n';
		f->pos++;
	}
	// like fgets, nothing read leaves buf as it was
	if (n > 0)
		buf[n] = '\0';
	return n;
}

char *hostfgets(char *buf, int size, hostfile *f)
{
	return readpiece(buf, size, f) > 0 ? buf : nullptr;
}

// Passes over the next n bytes, keeping count of how far into its piece
// the text then is.
static void passover(hostfile *f, int n, int piece)
{
	char *p = f->data + f->pos;
	char *nl = (char *)memrchr(p, '\n', n);

	f->col = nl ? (int)(p + n - nl - 1) % piece : (f->col + n) % piece;
	f->pos += n;
}

// Where the piece that holds q begins, p being where the text stands, col
// bytes into its piece, and no c in between: after the last LF before q,
// or col bytes before p, then whole pieces on.
static char *piecestart(hostfile *f, char *p, char *q, int piece)
{
	char *nl = (char *)memrchr(p, '\n', q - p);
	char *start = nl != nullptr ? nl + 1 : p - f->col;

	if (q - start >= piece)
		start += (q - start) / piece * piece;
	return start;
}

// Copies the piece from start to its LF at nl, CR LF read as LF, and goes
// past it.
static void copypiece(char *buf, hostfile *f, char *start, char *nl)
{
	int n = (int)(nl - start) + 1;

	// sixteen bytes at a time, the last overlapping those before: a
	// library call costs more than copying a short line
	if (n >= 16) {
		for (int i = 0; i < n - 16; i += 16)
			memcpy(buf + i, start + i, 16);
		memcpy(buf + n - 16, start + n - 16, 16);
	} else {
		memcpy(buf, start, n);
	}
	if (n >= 2 && buf[n - 2] == '\r')
		buf[--n - 1] = '\n';
	buf[n] = '\0';
	f->pos = (int)(nl + 1 - f->data);
	f->col = 0;
}

// Copies the piece at start, which holds no LF before q, when its LF lies
// in the block within piece bytes; 0 for a piece that is cut at its
// length or at the block's end, which readpiece takes.
static int takepiece(char *buf, int piece, hostfile *f, char *start, char *q)
{
	char *end = f->data + f->len;
	char *limit = end - start < piece ? end : start + piece;
	char *nl = (char *)memchr(q, '\n', limit - q);

	if (nl == nullptr)
		return 0;
	copypiece(buf, f, start, nl);
	return 1;
}

// The piece where the last one delivered ended, when its LF lies in the
// block within piece bytes: copies it when it holds c, else passes over
// it and ends the streak; 0 when it is not such a piece or was passed
// over.  In a streak of pieces that hold c this costs two searches of the
// piece's own bytes.
static int nextpiece(char *buf, int piece, hostfile *f, int c)
{
	char *p = f->data + f->pos, *end = f->data + f->len;

	if (p == end)
		return 0;
	char *nl = (char *)memchr(p, '\n', end - p < piece ? end - p : piece);
	if (nl == nullptr)
		return 0;
	if (*p != c && memchr(p, c, nl - p) == nullptr) {
		f->pos = (int)(nl + 1 - f->data);
		f->streak = 0;
		return 0;
	}
	copypiece(buf, f, p, nl);
	return 1;
}

char *hostfgetswith(char *buf, int size, hostfile *f, int c)
{
	int piece = size - 1, n;

	// a piece longer than the carry is only found by reading every one
	if (piece > carrysize) {
		while ((n = readpiece(buf, size, f)) > 0)
			if (memchr(buf, c, n) != nullptr)
				return buf;
		return nullptr;
	}
	// prose holds c in few lines and dense text in one after another
	if (f->streak && nextpiece(buf, piece, f, c))
		return buf;
	for (;;) {
		if (f->pos == f->len && !refill(f))
			return nullptr;
		char *p = f->data + f->pos;
		// in dense text the next piece begins with c
		char *q = *p == c ? p : (char *)memchr(p, c, f->len - f->pos);
		if (q == nullptr) {
			passover(f, f->len - f->pos, piece);
			continue;
		}
		char *start = piecestart(f, p, q, piece);
		f->streak = start == p && f->col == 0;
		if (takepiece(buf, piece, f, start, q))
			return buf;
		f->pos = (int)(start - f->data);
		readpiece(buf, size, f);
		return buf;
	}
}

void hostbufferoutput()
{
	static char buf[outsize];

	// a report of millions of lines goes out in few writes; a terminal
	// keeps its line buffering
	if (!isatty(STDOUT_FILENO))
		setvbuf(stdout, buf, _IOFBF, sizeof buf);
}

int hostfclose(hostfile *f)
{
	int r = close(f->fd);

	giveblock(f->data);
	free(f);
	return r != 0;
}
