// The host's rules, one component at a time: '/' and '\\' separate, '.'
// and '..' are text ('..' stays at the root, and above the working
// directory is left to the file system), and a component names its exact
// entry, else, with trailing dots and blanks gone (one dot of an inner
// one), the entry of that name or the first in byte order that differs
// from it only in the letters a to z; a path that ends in a separator
// names only a directory.
#include "hostmodel.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static bool isseparator(char c)
{
	return c == '/' || c == '\\';
}

static bool sameletters(const std::string &a, const std::string &b)
{
	auto fold = [](unsigned char c) {
		return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
	};
	if (a.size() != b.size())
		return false;
	for (size_t i = 0; i < a.size(); i++)
		if (fold(a[i]) != fold(b[i]))
			return false;
	return true;
}

static std::string join(const std::string &dir, const std::string &name)
{
	return dir == "/" ? "/" + name : dir + "/" + name;
}

// The entry of directory dir that component name picks, into *out; 0 for
// none, 2 for a last component that strips down to dir itself.
static int pick(const std::string &dir, const std::string &name, bool last,
                std::string *out)
{
	struct stat st;
	if (lstat(join(dir, name).c_str(), &st) == 0) {
		*out = join(dir, name);
		return 1;
	}
	std::string s = name;
	while (!s.empty() && (s.back() == '.' || (last && s.back() == ' '))) {
		s.pop_back();
		if (!last)
			break;
	}
	if (s.empty())
		return 2;
	if (s == "." || s == "..")
		return 0;
	if (lstat(join(dir, s).c_str(), &st) == 0) {
		*out = join(dir, s);
		return 1;
	}
	std::string best;
	DIR *d = opendir(dir.c_str());
	for (struct dirent *e; d != nullptr && (e = readdir(d)) != nullptr;)
		if (sameletters(e->d_name, s) &&
		    (best.empty() || strcmp(e->d_name, best.c_str()) < 0))
			best = e->d_name;
	if (d != nullptr)
		closedir(d);
	*out = join(dir, best);
	return best.empty() ? 0 : 1;
}

// What path names: nothing, a link that cannot be followed, or an entry,
// whose host path and stat are then given.
enum { nothing, unfollowable, entry };
static int resolve(const std::string &path, std::string *host, struct stat *st)
{
	bool absolute = !path.empty() && isseparator(path[0]);
	std::vector<std::string> parts;
	for (size_t i = 0, j; i < path.size(); i = j + 1) {
		for (j = i; j < path.size() && !isseparator(path[j]); j++)
			;
		std::string c = path.substr(i, j - i);
		if (c == "..") {
			if (!parts.empty() && parts.back() != "..")
				parts.pop_back();
			else if (!absolute) // above the working directory
				parts.push_back(c);
		} else if (c != "" && c != ".") {
			parts.push_back(c);
		}
	}
	// a path that ends in a separator names a directory
	bool dirpath = !parts.empty() && isseparator(path.back());
	std::string at = absolute ? "/" : ".";
	for (size_t k = 0; k < parts.size(); k++) {
		bool last = k + 1 == parts.size() && !dirpath;
		std::string next;
		int r = pick(at, parts[k], last, &next);
		if (r == 0)
			return nothing;
		if (r == 2)
			break;
		if (stat(next.c_str(), st) != 0)
			return last && (errno == ENOENT || errno == ELOOP)
			               ? unfollowable
			               : nothing;
		if (!last && !S_ISDIR(st->st_mode))
			return nothing;
		at = next;
	}
	*host = at;
	return stat(at.c_str(), st) == 0 ? entry : nothing;
}

modelanswer modelask(const std::string &path)
{
	modelanswer a{0, false, "", ""};
	struct stat st;
	int r = resolve(path, &a.host, &st);
	if (r != entry) {
		a.direrrno = r == nothing ? ENOENT : ENOTDIR;
		a.host.clear();
		return a;
	}
	// the empty name is no directory
	if (!S_ISDIR(st.st_mode) || path.empty())
		a.direrrno = ENOTDIR;
	int fd = S_ISREG(st.st_mode) ? open(a.host.c_str(), O_RDONLY) : -1;
	if (fd < 0)
		return a;
	a.opens = true;
	fstat(fd, &st);
	std::string bytes(st.st_size, '\0');
	ssize_t got = read(fd, bytes.data(), bytes.size());
	close(fd);
	bytes.resize(got < 0 ? 0 : got);
	// one byte at a time: a Ctrl-Z ends the text, CR LF is read as LF
	for (size_t i = 0; i < bytes.size() && bytes[i] != '\x1a'; i++)
		if (!(bytes[i] == '\r' && i + 1 < bytes.size() &&
		      bytes[i + 1] == '\n'))
			a.text += bytes[i];
	return a;
}

std::vector<std::string> modelpieces(const std::string &text, int size, int c,
                                     bool numbered)
{
	std::vector<std::string> pieces;
	std::string piece;
	int line = 1;
	for (char b : text) {
		piece += b;
		if (b == '\n' || (int)piece.size() == size - 1) {
			pieces.push_back(piece);
			piece.clear();
		}
	}
	if (!piece.empty())
		pieces.push_back(piece);
	std::vector<std::string> with;
	for (const std::string &p : pieces) {
		if (c < 0 || p.find((char)c) != std::string::npos)
			with.push_back(numbered ? std::to_string(line) + ":" + p
			                        : p);
		line += p.back() == '\n';
	}
	return with;
}
