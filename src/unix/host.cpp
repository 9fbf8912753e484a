// Host services on POSIX.  Program paths take '/' and '\' as separators
// and ignore letter case; here they become '/'-separated host paths in
// which a component that does not exist as written is matched against
// its directory's entries without regard to ASCII letter case.
#include "../host.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

constexpr int hostpathsize = 4096;
constexpr int readsize = 65536;
constexpr int outsize = 65536;

struct hostdir {
	DIR *dir;
};

struct hostfile {
	int fd;
	char *data; // read buffer, allocated on the first read
	int pos;
	int len;
	int held; // a CR that ended the last read, waiting for its successor
	int eof;
	int err;
};

static int isseparator(char c)
{
	return c == '/' || c == '\\';
}

static int foldchar(unsigned char c)
{
	return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

static int foldequal(const char *a, const char *b, int blen)
{
	int i;

	for (i = 0; i < blen; i++)
		if (a[i] == '\0' || foldchar(a[i]) != foldchar(b[i]))
			return 0;
	return a[i] == '\0';
}

// Replaces the component at out[start..] by the directory entry that
// matches it ignoring case, the lowest in byte order; leaves it alone
// when there is none.
static void matchcomponent(char *out, int start, int complen)
{
	char best[hostpathsize];
	DIR *dir;
	struct dirent *ent;
	int found = 0;

	if (start == 0) {
		dir = opendir(".");
	} else {
		char c = out[start];
		out[start] = '\0';
		dir = opendir(out);
		out[start] = c;
	}
	if (dir == nullptr)
		return;
	while ((ent = readdir(dir)) != nullptr) {
		if (!foldequal(ent->d_name, out + start, complen))
			continue;
		if (!found || strcmp(ent->d_name, best) < 0) {
			strcpy(best,
			       ent->d_name); // same length as the component
			found = 1;
		}
	}
	closedir(dir);
	if (found)
		memcpy(out + start, best, complen);
}

// Builds the host form of a program path with its components as written;
// returns its length, or 0 when it is empty or too long.
static int buildpath(const char *path, char *out, int outsize)
{
	int n = 0, i = 0;

	if (path[0] == '\0')
		return 0;
	if (isseparator(path[0]))
		out[n++] = '/';
	for (;;) {
		while (isseparator(path[i]))
			i++;
		if (path[i] == '\0')
			break;
		if (n > 0 && out[n - 1] != '/')
			out[n++] = '/';
		for (; path[i] != '\0' && !isseparator(path[i]); i++) {
			if (n >= outsize - 1)
				return 0;
			out[n++] = path[i];
		}
	}
	out[n] = '\0';
	if (n == 0) {
		// nothing but separators: the root
		out[n++] = '/';
		out[n] = '\0';
	}
	return n;
}

// Matches each component of out that is missing as written.
static void matchpath(char *out, int n)
{
	struct stat st;
	int start, complen;

	for (start = (out[0] == '/') ? 1 : 0; start < n; start += complen + 1) {
		char *sep = strchr(out + start, '/');
		complen = sep ? (int)(sep - (out + start)) : n - start;
		char c = out[start + complen];
		out[start + complen] = '\0';
		if (lstat(out, &st) != 0 && errno == ENOENT)
			matchcomponent(out, start, complen);
		out[start + complen] = c;
	}
}

// Builds the host form of a program path; 0 when it is empty or too long.
static int hostpath(const char *path, char *out, int outsize)
{
	struct stat st;
	int n = buildpath(path, out, outsize);

	if (n == 0)
		return 0;
	if (lstat(out, &st) != 0 && errno == ENOENT)
		matchpath(out, n);
	return 1;
}

hostdir *hostopendir(const char *path)
{
	char host[hostpathsize];
	struct stat st;
	hostdir *d;
	DIR *dir;

	if (path[0] == '\0') {
		errno = ENOTDIR;
		return nullptr;
	}
	if (!hostpath(path, host, hostpathsize)) {
		errno = ENAMETOOLONG;
		return nullptr;
	}
	dir = opendir(host);
	if (dir == nullptr) {
		// ENOENT only for a path that names nothing, not for a dangling
		// link
		if (errno == ENOENT && lstat(host, &st) == 0)
			errno = ENOTDIR;
		return nullptr;
	}
	d = (hostdir *)malloc(sizeof *d);
	if (d == nullptr) {
		closedir(dir);
		errno = ENOMEM;
		return nullptr;
	}
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
	char host[hostpathsize];
	struct stat st;
	hostfile *f;
	int fd;

	int n = buildpath(path, host, hostpathsize);
	if (n == 0)
		return nullptr;
	// components are matched only when the path is missing as written
	if (stat(host, &st) != 0) {
		if (errno != ENOENT)
			return nullptr;
		matchpath(host, n);
		if (stat(host, &st) != 0)
			return nullptr;
	}
	// Only regular files: a FIFO or device must neither block nor be read.
	if (!S_ISREG(st.st_mode))
		return nullptr;
	fd = open(host, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (fd < 0)
		return nullptr;
	if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
		close(fd);
		return nullptr;
	}
	f = (hostfile *)calloc(1, sizeof *f);
	if (f == nullptr) {
		close(fd);
		return nullptr;
	}
	f->fd = fd;
	return f;
}

// Reads the next block and turns each CR LF into LF; 0 at the end of
// the file or after an error.
static int refill(hostfile *f)
{
	ssize_t r;
	char *p, *end, *w;

	if (f->eof || f->err)
		return 0;
	if (f->data == nullptr) {
		f->data = (char *)malloc(readsize + 1);
		if (f->data == nullptr) {
			f->err = 1;
			return 0;
		}
	}
	f->pos = 0;
	f->len = 0;
	if (f->held)
		f->data[f->len++] = '\r';
	do
		r = read(f->fd, f->data + f->len, readsize);
	while (r < 0 && errno == EINTR);
	if (r < 0)
		f->err = 1;
	if (r == 0)
		f->eof = 1;
	if (r <= 0) {
		// a CR held back at the end of the file stands alone
		f->held = 0;
		return f->len > 0;
	}
	f->len += (int)r;
	end = f->data + f->len;
	p = (char *)memchr(f->data, '\r', f->len);
	if (p == nullptr) {
		f->held = 0;
		return 1;
	}
	for (w = p; p < end; p++) {
		if (*p == '\r' && p + 1 < end && p[1] == '\n')
			continue;
		*w++ = *p;
	}
	f->len = (int)(w - f->data);
	// a CR at the end of the block may yet start a CR LF pair
	f->held = f->data[f->len - 1] == '\r';
	if (f->held)
		f->len--;
	return f->len > 0 || refill(f);
}

char *hostfgets(char *buf, int size, hostfile *f)
{
	int n = 0;

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
		if (nl != nullptr)
			break;
	}
	if (n == 0)
		return nullptr;
	buf[n] = '\0';
	return buf;
}

int hostfeof(hostfile *f)
{
	return f->eof || f->err;
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

	free(f->data);
	free(f);
	return r != 0;
}
