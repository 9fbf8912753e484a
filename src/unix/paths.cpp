// The rules by which Win32 takes the program's paths, as text alone:
//  - '/' and '\' both separate, a run of them counts as one, and a
//    leading one starts at the root: normalise;
//  - '.' and '..' are resolved as text, '..' at the root staying there
//    and '..' above the working directory left for the host: normalise;
//  - a path that ends in a separator names a directory: normalise
//    (*dirpath);
//  - the last component loses its trailing dots and blanks, an inner one
//    a single trailing dot, unless an entry of the written name exists
//    (the caller's part): stripped;
//  - a last component of nothing but dots and blanks strips to nothing
//    and names its directory, as a trailing separator does: stripped
//    (resolve.cpp takes the directory);
//  - a component that strips down to '.' or '..' is no step and names
//    nothing: isdotname;
//  - the directory part ends at the last separator: lastcomponent for
//    normalised text, dirpartlen for a program path.
// pathrules.astext in tests/unit/host_test.cpp gives each rule a row.
// Two more need the disk, and resolve.cpp applies them: a path through a
// file, a FIFO or a loop names nothing, while a dangling link, or a loop,
// as the last component is there but broken, neither a directory nor a
// file; host.opendirerrors holds both.  The letter-case match needs the
// directory's entries: listings.cpp.
#include "unix.h"

#include <string.h>

#include "../text.h"

// Writes path with '/' between its components and '.' and '..' resolved
// as text; *dirpath tells whether it ended in a separator.  Returns the
// length, or -1 when it does not fit.  A relative path that is left
// empty is ".".
int normalise(const char *path, char *out, int size, int *dirpath)
{
	int n = 0, base, i = 0;

	if (size < 2)
		return -1;
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

// How long a component of len bytes is once its trailing dots and blanks
// go (the last component) or one trailing dot (an inner one).
int stripped(const char *name, int len, int last)
{
	if (!last)
		return len > 0 && name[len - 1] == '.' ? len - 1 : len;
	while (len > 0 && (name[len - 1] == '.' || name[len - 1] == ' '))
		len--;
	return len;
}

// Whether a component of len bytes is "." or "..".
int isdotname(const char *name, int len)
{
	return name[0] == '.' && (len == 1 || (len == 2 && name[1] == '.'));
}

// Where the last component of normalised text of len bytes begins; the
// directory part before it is *dirlen bytes long ("/" keeps its slash).
int lastcomponent(const char *text, int len, int *dirlen)
{
	int last = len;

	while (last > 0 && text[last - 1] != '/')
		last--;
	*dirlen = last > 1 ? last - 1 : last;
	return last;
}

// The length of the directory part of a program path of len bytes, up to
// and including its last separator; 0 when it has none.
int dirpartlen(const char *path, int len)
{
	while (len > 0 && !isseparator(path[len - 1]))
		len--;
	return len;
}

// Joins the host directory dir and the len bytes of name with a '/' ("."
// adds nothing); 0 when it does not fit in size bytes.
int joinpath(char *out, int size, const char *dir, const char *name, int len)
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
