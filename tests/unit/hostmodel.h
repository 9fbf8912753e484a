// The POSIX host's rules written the simplest way, with no cache and no
// shortcut, for the property test to hold the host to.
#ifndef PLOTWALK_HOSTMODEL_H
#define PLOTWALK_HOSTMODEL_H

#include <string>
#include <vector>

// What the host answers for a path: the errno that hostopendir leaves,
// whether hostfopen opens it (and hostcanopen says so) and the text it
// then yields, and the host path of what it names ("" for nothing).
struct modelanswer {
	int direrrno;
	bool opens;
	std::string text, host;
};
modelanswer modelask(const std::string &path);

// The pieces of text that hostfgets gives with a buffer of size bytes, or
// with c >= 0 only those that hold c, as hostfgetswith does; with
// numbered, each after the line it begins on and a colon.
std::vector<std::string> modelpieces(const std::string &text, int size, int c,
                                     bool numbered = false);

#endif
