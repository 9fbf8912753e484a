// Preloaded into a run to make its N-th allocation fail: malloc, calloc
// and realloc count their calls and the one numbered PLOTWALK_FAILALLOC
// returns nullptr.  At exit the count goes to PLOTWALK_FAILALLOC_COUNT,
// so that a caller knows when N lies past the last allocation.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
}

static unsigned long count;
static unsigned long failat;

static bool failnow()
{
	if (failat == 0) {
		const char *n = getenv("PLOTWALK_FAILALLOC");
		failat = n ? strtoul(n, nullptr, 10) : (unsigned long)-1;
	}
	if (++count != failat)
		return false;
	errno = ENOMEM; // as a real failure leaves it
	return true;
}

extern "C" void *malloc(size_t n)
{
	return failnow() ? nullptr : __libc_malloc(n);
}

extern "C" void *calloc(size_t n, size_t size)
{
	return failnow() ? nullptr : __libc_calloc(n, size);
}

extern "C" void *realloc(void *p, size_t n)
{
	return failnow() ? nullptr : __libc_realloc(p, n);
}

__attribute__((destructor)) static void writecount()
{
	const char *path = getenv("PLOTWALK_FAILALLOC_COUNT");
	if (path == nullptr)
		return;
	char buf[32];
	int len = snprintf(buf, sizeof buf, "%lu\n", count);
	int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
	if (fd >= 0) {
		if (write(fd, buf, len) != len)
			unlink(path);
		close(fd);
	}
}
