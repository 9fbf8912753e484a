// Running out of memory or descriptors: no answer can be trusted after
// it, so the run ends abnormally with the report printed so far.  Every
// allocation of the POSIX host goes through xmalloc, and every failed
// opening through checkresources.
#include "unix.h"

#include <errno.h>
#include <stdlib.h>

void checkresources(int err)
{
	if (err == EMFILE || err == ENFILE || err == ENOMEM)
		die();
}

void *xmalloc(size_t n)
{
	void *p = malloc(n);

	if (p == nullptr)
		die();
	return p;
}
