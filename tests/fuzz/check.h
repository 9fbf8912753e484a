// A failed property ends the fuzz run with a message and the input saved.
#ifndef PLOTWALK_FUZZ_CHECK_H
#define PLOTWALK_FUZZ_CHECK_H

#include <stdio.h>
#include <stdlib.h>

#define check(cond)                                                            \
	do {                                                                   \
		if (!(cond)) {                                                 \
			fprintf(stderr, "%s:%d: property failed: %s\n",        \
			        __FILE__, __LINE__, #cond);                    \
			abort();                                               \
		}                                                              \
	} while (0)

static inline int iswhite(char c)
{
	return c == ' ' || (c >= '\t' && c <= '\r');
}

static inline int isseparator(char c)
{
	return c == '/' || c == '\\';
}

#endif
