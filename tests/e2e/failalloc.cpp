// Preloaded into a run to make one of its calls fail: the allocation
// (malloc, calloc or realloc) numbered PLOTWALK_FAILALLOC returns nullptr,
// and the opening of a file or directory (open or opendir) numbered
// PLOTWALK_FAILOPEN fails as when descriptors or memory run out, with the
// errno PLOTWALK_FAILERRNO when that is set.  At exit
// the two counts go to PLOTWALK_FAILALLOC_COUNT, so that a caller knows
// when N lies past the last one.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
}

struct failure {
	const char *name;
	unsigned long count;
	unsigned long failat;
};

static failure allocs = {"PLOTWALK_FAILALLOC", 0, 0};
static failure opens = {"PLOTWALK_FAILOPEN", 0, 0};
static bool paused = true; // the shim's own calls count for nothing
static int (*nextopen)(const char *, int, ...);
static DIR *(*nextopendir)(const char *);

__attribute__((constructor)) static void findnext()
{
	nextopen = (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, "open");
	nextopendir = (DIR * (*)(const char *)) dlsym(RTLD_NEXT, "opendir");
	paused = false;
}

static bool failnow(failure &f, int error)
{
	if (paused)
		return false;
	if (f.failat == 0) {
		const char *n = getenv(f.name);
		f.failat = n ? strtoul(n, nullptr, 10) : (unsigned long)-1;
	}
	if (++f.count != f.failat)
		return false;
	errno = error; // as a real failure leaves it
	return true;
}

extern "C" void *malloc(size_t n)
{
	return failnow(allocs, ENOMEM) ? nullptr : __libc_malloc(n);
}

extern "C" void *calloc(size_t n, size_t size)
{
	return failnow(allocs, ENOMEM) ? nullptr : __libc_calloc(n, size);
}

extern "C" void *realloc(void *p, size_t n)
{
	return failnow(allocs, ENOMEM) ? nullptr : __libc_realloc(p, n);
}

// Each way of running out in turn, or the one asked for.
static int openerror()
{
	static const int errors[] = {EMFILE, ENFILE, ENOMEM};
	const char *e = getenv("PLOTWALK_FAILERRNO");
	return e != nullptr ? atoi(e) : errors[opens.count % 3];
}

extern "C" int open(const char *path, int flags, ...)
{
	va_list ap;
	va_start(ap, flags);
	mode_t mode = (flags & O_CREAT) ? va_arg(ap, mode_t) : 0;
	va_end(ap);
	return failnow(opens, openerror()) ? -1 : nextopen(path, flags, mode);
}

extern "C" DIR *opendir(const char *path)
{
	return failnow(opens, openerror()) ? nullptr : nextopendir(path);
}

__attribute__((destructor)) static void writecount()
{
	const char *path = getenv("PLOTWALK_FAILALLOC_COUNT");
	paused = true;
	if (path == nullptr)
		return;
	char buf[64];
	int len = snprintf(buf, sizeof buf, "%lu %lu\n", allocs.count,
	                   opens.count);
	int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
	if (fd >= 0) {
		if (write(fd, buf, len) != len)
			unlink(path);
		close(fd);
	}
}
