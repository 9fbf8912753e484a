// Host services on Windows: the C runtime's own directory functions and
// text-mode streams.  The file system takes both separators and ignores
// letter case, so program paths go to it as they are.
#include "../host.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>

// The run-time expands wildcards in the arguments before main sees them.
extern "C" {
int _dowildcard = -1;
}

constexpr int outsize = 65536;

// Out of memory or descriptors is no verdict: the report stops there.
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

struct hostdir {
	DIR *dir;
};

struct hostfile {
	FILE *stream;
	int countlines; // whether hostfline is asked
	int line;       // the line the last piece delivered begins on
	int next;       // the line the next piece begins on
};

hostdir *hostopendir(const char *path)
{
	hostdir *d;
	DIR *dir;

	dir = opendir(path);
	if (dir == nullptr) {
		checkresources(errno);
		return nullptr;
	}
	d = (hostdir *)xmalloc(sizeof *d);
	d->dir = dir;
	errno = 0;
	return d;
}

const char *hostreaddir(hostdir *d)
{
	struct dirent *ent = readdir(d->dir);

	return ent ? ent->d_name : nullptr;
}

void hostclosedir(hostdir *d)
{
	closedir(d->dir);
	free(d);
}

hostfile *hostfopen(const char *path)
{
	struct _stat st;
	hostfile *f;
	FILE *stream;

	stream = fopen(path, "r");
	if (stream == nullptr) {
		checkresources(errno);
		return nullptr;
	}
	// only files on disk: a device such as CON or NUL, or a directory,
	// is no page and no linked file
	if (_fstat(_fileno(stream), &st) != 0 || (st.st_mode & _S_IFREG) == 0) {
		fclose(stream);
		return nullptr;
	}
	f = (hostfile *)xmalloc(sizeof *f);
	f->stream = stream;
	f->countlines = 0;
	f->line = 0;
	f->next = 1;
	return f;
}

int hostcanopen(const char *path, int)
{
	hostfile *f = hostfopen(path);

	if (f == nullptr)
		return 0;
	if (hostfclose(f) != 0)
		die();
	return 1;
}

// fgets, keeping count of the lines when asked; a piece that ends in a
// LF ends its line.
char *hostfgets(char *buf, int size, hostfile *f)
{
	if (fgets(buf, size, f->stream) == nullptr)
		return nullptr;
	if (f->countlines) {
		f->line = f->next;
		if (strchr(buf, '\n') != nullptr)
			f->next++;
	}
	return buf;
}

char *hostfgetswith(char *buf, int size, hostfile *f, int c)
{
	// a read error ends the page as its end does
	while (hostfgets(buf, size, f) != nullptr)
		if (strchr(buf, c) != nullptr)
			return buf;
	return nullptr;
}

void hostfcountlines(hostfile *f)
{
	f->countlines = 1;
}

int hostfline(hostfile *f)
{
	return f->line;
}

int hostfclose(hostfile *f)
{
	int r = fclose(f->stream);

	free(f);
	return r != 0;
}

void hostbufferoutput()
{
	static char buf[outsize];

	// standard output keeps the mode start-up gave it; only a stream that
	// is no console gets the large buffer
	if (!_isatty(_fileno(stdout)))
		setvbuf(stdout, buf, _IOFBF, sizeof buf);
}

int hostrawoutput()
{
	_setmode(_fileno(stdout), _O_BINARY);
	hostbufferoutput();
	return _isatty(_fileno(stdout));
}

int hostdirpath(const char *path, char *out, int size, int full)
{
	struct _stat st;
	int len;

	if (path[0] == '\0' || _stat(path, &st) != 0 ||
	    (st.st_mode & _S_IFDIR) == 0)
		return 0;
	if (full) {
		if (_fullpath(out, path, size) == nullptr)
			return 0;
	} else if (strcmp(path, ".") == 0) {
		out[0] = '\0';
		return size > 0;
	} else {
		if ((int)strlen(path) >= size)
			return 0;
		strcpy(out, path);
	}
	len = (int)strlen(out);
	if (len > 0 && out[len - 1] != '\\' && out[len - 1] != '/' &&
	    out[len - 1] != ':') {
		if (len + 1 >= size)
			return 0;
		out[len++] = '\\';
		out[len] = '\0';
	}
	return 1;
}
