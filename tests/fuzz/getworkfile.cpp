// getworkfile on arbitrary text after an equals sign.
#include "plotwalk.h"

#include <stdint.h>
#include <string.h>

#include <string>

#include "check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const char *in = (const char *)data;
	const std::string orig = "=" + std::string(in, strnlen(in, size));
	const size_t len = orig.size();

	// the terminator is the allocation's last byte, so any read past it
	// is caught; the reference buffer has exactly its declared size
	char *text = (char *)malloc(len + 1);
	char *ref = (char *)malloc(refsize);
	memcpy(text, orig.c_str(), len + 1);
	memset(ref, 'X', refsize);
	int n = getworkfile(ref, refsize, text);
	const std::string after(text, strnlen(text, len + 1));

	// only slashes change, and only into backslashes
	check(after.size() == len);
	for (size_t i = 0; i < len; i++)
		check(after[i] == orig[i] ||
		      (orig[i] == '/' && after[i] == '\\'));

	check(n >= 0 && n < refsize);
	check(strnlen(ref, refsize) == (size_t)n);
	const std::string got(ref, n);

	size_t i = 1;
	while (i < len && iswhite(orig[i]))
		i++;
	if (i < len && orig[i] == '"') {
		// quoted: the character after the quote as it was, then the
		// text up to the closing quote
		size_t close = i + 2 <= len ? after.find('"', i + 2)
		                            : std::string::npos;
		if (close == std::string::npos) {
			check(n == 0);
		} else {
			size_t m = close - i - 1;
			check(n == (m < (size_t)refsize ? (int)m : 0));
			if (n > 0) {
				check(got[0] == orig[i + 1]);
				check(got.compare(1, n - 1, after, i + 2,
				                  n - 1) == 0);
				check(got.find('/', 1) == std::string::npos);
			}
		}
	} else {
		// unquoted: up to white space, '>' or the end
		size_t end = i;
		while (end < len && !iswhite(after[end]) && after[end] != '>')
			end++;
		size_t m = end - i;
		check(n == (m < (size_t)refsize ? (int)m : 0));
		check(got == after.substr(i, n));
		check(got.find('/') == std::string::npos);
	}

	free(ref);
	free(text);
	return 0;
}
