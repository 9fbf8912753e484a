// The calls of host.h that open directories and files on POSIX.  The
// program's paths are Windows paths: resolve.cpp finds what Win32 would
// open for them.  Running out of memory or descriptors is no verdict:
// resources.cpp ends the run.
#include "unix.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

constexpr int outsize = 32768;

// Paths given to hostcanopen that name a regular file, and whether it
// opened (value): pages link to the same few files again and again, and
// each is opened once a run.  What names no regular file is answered
// again from the directory cache and the listings.
constexpr int probeslots = 1024;      // twice the probed paths kept
constexpr int probearenasize = 16384; // their bytes
static_assert((probeslots & (probeslots - 1)) == 0, "a mask picks the slot");
static_assert(probearenasize >= 2 * cachekeysize,
              "the arena holds the longest key");
static cacheslot probeslot[probeslots];
static char probearena[probearenasize];
static textcache probecache = {
        probeslot, probeslots - 1, probearena, probearenasize, 0, 0};

struct hostdir {
	DIR *dir;
};

hostdir *hostopendir(const char *path)
{
	hostentry e;

	if (path[0] == '\0') {
		errno = ENOTDIR;
		return nullptr;
	}
	resolvepath(path, (int)strlen(path), &e);
	if (e.found == entrymissing) {
		errno = ENOENT;
		return nullptr;
	}
	// a dangling link, a loop, or no directory
	if (e.found == entrybroken || !S_ISDIR(e.st.st_mode)) {
		errno = ENOTDIR;
		return nullptr;
	}
	DIR *dir = opendir(e.path);
	if (dir == nullptr) {
		checkresources(errno);
		return nullptr;
	}
	hostdir *d = (hostdir *)xmalloc(sizeof *d);
	d->dir = dir;
	errno = 0;
	return d;
}

const char *hostreaddir(hostdir *d)
{
	struct dirent *ent = readdir(d->dir);

	return ent != nullptr ? ent->d_name : nullptr;
}

void hostclosedir(hostdir *d)
{
	closedir(d->dir);
	free(d);
}

// Opens the regular file that resolvepath found; nullptr for anything
// else.  A FIFO or device must neither block nor be read.
static hostfile *openentry(hostentry *e)
{
	if (e->found != entryfound || e->dirpath || !S_ISREG(e->st.st_mode))
		return nullptr;
	int fd = open(e->path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (fd < 0) {
		checkresources(errno);
		return nullptr;
	}
	if (fstat(fd, &e->st) != 0 || !S_ISREG(e->st.st_mode)) {
		close(fd);
		return nullptr;
	}
	hostfile *f = (hostfile *)xmalloc(sizeof *f);
	*f = hostfile{};
	f->fd = fd;
	f->left = e->st.st_size;
	return f;
}

hostfile *hostfopen(const char *path)
{
	hostentry e;

	resolvepath(path, (int)strlen(path), &e);
	return openentry(&e);
}

int hostcanopen(const char *path, int len)
{
	hostentry e;
	int opened;

	if (cachefind(&probecache, path, len, &opened, nullptr, 0))
		return opened;
	resolvepath(path, len, &e);
	if (e.found != entryfound || e.dirpath || !S_ISREG(e.st.st_mode))
		return 0;
	hostfile *f = openentry(&e);
	opened = f != nullptr;
	if (f != nullptr && hostfclose(f) != 0)
		die();
	cacheadd(&probecache, path, len, opened, "");
	return opened;
}

int hostrawoutput()
{
	hostbufferoutput();
	return isatty(STDOUT_FILENO);
}

int hostdirpath(const char *path, char *out, int size, int full)
{
	char real[PATH_MAX];
	hostentry e;

	resolvepath(path, (int)strlen(path), &e);
	if (e.found != entryfound || !S_ISDIR(e.st.st_mode))
		return 0;
	const char *dir = e.path;
	if (full) {
		if (realpath(e.path, real) == nullptr) {
			checkresources(errno);
			return 0;
		}
		dir = real;
	} else if (strcmp(dir, ".") == 0) {
		dir = "";
	}
	int len = (int)strlen(dir);
	int sep = len > 0 && dir[len - 1] != '/';
	if (len + sep >= size)
		return 0;
	memcpy(out, dir, len);
	if (sep)
		out[len++] = '/';
	out[len] = '\0';
	return 1;
}

void hostbufferoutput()
{
	static char buf[outsize];

	// a long report goes out in few writes; a terminal keeps its line
	// buffering
	if (!isatty(STDOUT_FILENO))
		setvbuf(stdout, buf, _IOFBF, sizeof buf);
}
