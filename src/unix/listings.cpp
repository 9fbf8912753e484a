// Directory listings and the letter-case match.  A directory whose
// entries the case match needs is read once a run and kept: a tree under
// verification stands still.
// Each entry keeps the type readdir gave it, so that a listed regular
// file needs no stat before it is opened.
#include "unix.h"

#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "../text.h"

// The entries of one directory: each name after a byte of its d_type,
// one after another, and an open-addressing table of the names' offsets
// + 1 by the folded name's hash.
struct listing {
	char *path;
	char *names;
	size_t used;
	size_t cap;
	int count;
	int *slots;
	unsigned mask;
};

// The kept listings by host path, open addressing; grows to stay half
// empty.
static listing **listings;
static unsigned listingsmask;
static unsigned listingcount;

// An empty listing of the host directory path, to be filled by listentry.
static listing *newlisting(const char *path)
{
	listing *l = (listing *)xmalloc(sizeof *l);
	size_t pathsize = strlen(path) + 1;

	l->path = (char *)memcpy(xmalloc(pathsize), path, pathsize);
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
		char *names = (char *)xmalloc(l->cap);
		memcpy(names, l->names, l->used);
		free(l->names);
		l->names = names;
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
	l->slots = (int *)xmalloc(size * sizeof *l->slots);
	memset(l->slots, 0, size * sizeof *l->slots);
	for (size_t off = 1, len; off < l->used; off += len + 2) {
		len = strlen(l->names + off);
		unsigned h = hashfolded(l->names + off, (int)len) & l->mask;
		while (l->slots[h] != 0)
			h = nextslot(h, l->mask);
		l->slots[h] = (int)off + 1;
	}
}

static void addlisting(listing *l)
{
	if (2 * (listingcount + 1) > listingsmask + 1) {
		unsigned oldsize = listings ? listingsmask + 1 : 0;
		unsigned size = oldsize ? 2 * oldsize : 16;
		listing **old = listings;
		listings = (listing **)xmalloc(size * sizeof *listings);
		memset(listings, 0, size * sizeof *listings);
		listingsmask = size - 1;
		listingcount = 0;
		for (unsigned i = 0; i < oldsize; i++)
			if (old[i] != nullptr)
				addlisting(old[i]);
		free(old);
	}
	unsigned h = hashexact(l->path, (int)strlen(l->path)) & listingsmask;
	while (listings[h] != nullptr)
		h = nextslot(h, listingsmask);
	listings[h] = l;
	listingcount++;
}

// The kept listing of the host directory path, else nullptr.
listing *findlisting(const char *path)
{
	if (listings == nullptr)
		return nullptr;
	unsigned h = hashexact(path, (int)strlen(path)) & listingsmask;
	for (; listings[h] != nullptr; h = nextslot(h, listingsmask))
		if (strcmp(listings[h]->path, path) == 0)
			return listings[h];
	return nullptr;
}

// The listing of the host directory path, read and kept on its first
// use.  A directory that cannot be read lists nothing.
listing *listingof(const char *path)
{
	listing *l = findlisting(path);

	if (l != nullptr)
		return l;
	l = newlisting(path);
	DIR *dir = opendir(path);
	if (dir == nullptr)
		checkresources(errno);
	for (struct dirent *ent; dir && (ent = readdir(dir)) != nullptr;)
		listentry(l, ent->d_name, ent->d_type);
	if (dir != nullptr)
		closedir(dir);
	endlisting(l);
	addlisting(l);
	return l;
}

// The entry of exactly the len bytes of name, else the lowest in byte
// order that differs from them only in letter case, else nullptr.
const char *findentry(const listing *l, const char *name, int len)
{
	const char *best = nullptr;
	unsigned h = hashfolded(name, len) & l->mask;

	for (; l->slots[h] != 0; h = nextslot(h, l->mask)) {
		const char *e = l->names + l->slots[h] - 1;
		if (!foldequal(e, name, len) || e[len] != '\0')
			continue;
		if (memcmp(e, name, len) == 0)
			return e;
		if (best == nullptr || strcmp(e, best) < 0)
			best = e;
	}
	return best;
}

// The d_type that the listing gave an entry that findentry returned.
unsigned char entrytype(const char *e)
{
	return (unsigned char)e[-1];
}
