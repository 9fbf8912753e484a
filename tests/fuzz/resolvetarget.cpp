// resolvetarget on arbitrary argument bytes.
#include "plotwalk.h"

#include <stdint.h>
#include <string.h>

#include <string>

#include "check.h"

// One trailing separator goes, except from a drive root or bare drive.
static std::string normalised(std::string d)
{
	if (d.size() == 3 && d[1] == ':' && isseparator(d[2]))
		return d;
	if (d.size() == 2 && d[1] == ':')
		return d;
	if (!d.empty() && isseparator(d.back()))
		d.pop_back();
	return d;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const char *in = (const char *)data;
	const std::string arg(in, strnlen(in, size));
	// an empty or over-long argument ends the run with a message
	if (arg.empty() || arg.size() >= (size_t)namesize)
		return 0;

	char program[] = "plotwalk";
	char *heaparg = (char *)malloc(arg.size() + 1);
	memcpy(heaparg, arg.c_str(), arg.size() + 1);
	char *argv[] = {program, heaparg, nullptr};
	resetstate();
	resolvetarget(2, argv);

	check(strnlen(fullname, namesize) < (size_t)namesize);
	check(strnlen(dirname, namesize) < (size_t)namesize);
	check(strnlen(rootname, namesize) < (size_t)namesize);
	check(fullname == arg && fullnamelen == (int)arg.size());
	check(dirnamelen == (int)strlen(dirname));

	bool file = arg.find(".htm") != std::string::npos ||
	            arg.find(".HTM") != std::string::npos;
	if (!file) {
		check(std::string(rootname) == ".");
		check(dirname == normalised(arg));
	} else {
		size_t split = arg.rfind('/');
		if (split == std::string::npos)
			split = arg.rfind('\\');
		if (split == std::string::npos) {
			check(std::string(dirname) == ".");
			check(rootname == arg);
		} else {
			check(rootname == arg.substr(split + 1));
			check(dirname == normalised(arg.substr(0, split + 1)));
		}
	}
	free(heaparg);
	return 0;
}
