// expandworkfile on arbitrary directory names and references.
#include "plotwalk.h"

#include <stdint.h>
#include <string.h>

#include <string>

#include "check.h"

// The join as it should come out: slashes turned, double quotes dropped.
static std::string join(const std::string &dir, const std::string &ref)
{
	std::string out;
	for (char c : dir + "\\" + ref)
		if (c != '"')
			out += c == '/' ? '\\' : c;
	return out;
}

// Input: a size byte, then the directory name and the reference,
// separated by a NUL byte.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	if (size < 1)
		return 0;
	int small = 1 + data[0];
	const char *in = (const char *)data + 1;
	size_t left = size - 1;
	size_t dirlen = strnlen(in, left);
	std::string dir(in, dirlen < namesize ? dirlen : namesize - 1);
	std::string ref;
	if (dirlen < left) {
		size_t reflen = strnlen(in + dirlen + 1, left - dirlen - 1);
		ref.assign(in + dirlen + 1,
		           reflen < refsize ? reflen : refsize - 1);
	}
	memcpy(dirname, dir.c_str(), dir.size() + 1);
	dirnamelen = (int)dir.size();
	const std::string want = join(dir, ref);

	// the buffer the scanner uses takes the whole join
	char *refcopy = (char *)malloc(ref.size() + 1);
	memcpy(refcopy, ref.c_str(), ref.size() + 1);
	char *path = (char *)malloc(joinedsize);
	int n = expandworkfile(refcopy, path, joinedsize);
	check(n >= 1 && n < joinedsize);
	check(strnlen(path, joinedsize) == (size_t)n);
	check(path == want);
	check(strchr(path, '/') == nullptr && strchr(path, '"') == nullptr);
	free(path);

	// a smaller buffer is never overrun and holds a start of the join
	path = (char *)malloc(small);
	n = expandworkfile(refcopy, path, small);
	check(n >= 0 && n < small);
	check(strnlen(path, small) == (size_t)n);
	check(want.compare(0, n, path) == 0);
	free(path);
	free(refcopy);
	return 0;
}
