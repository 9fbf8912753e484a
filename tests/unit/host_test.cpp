// The POSIX host layer: directory opening and listing, mapping of the
// program's paths, and text-mode reading of regular files.
#include "host.h"
#include "unix/unix.h"
#include "hostmodel.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

std::string backslashed(std::string s)
{
	std::replace(s.begin(), s.end(), '/', '\\');
	return s;
}

class host : public ::testing::Test {
      protected:
	std::string root;
	void SetUp() override
	{
		char tmpl[] = "/tmp/plotwalkhost-XXXXXX";
		ASSERT_NE(mkdtemp(tmpl), nullptr);
		root = tmpl;
	}
	void TearDown() override
	{
		std::filesystem::remove_all(root);
	}
	std::string at(const std::string &rel) const
	{
		return root + "/" + rel;
	}
	void file(const std::string &rel, const std::string &bytes)
	{
		int fd = open(at(rel).c_str(), O_CREAT | O_WRONLY | O_TRUNC,
		              0644);
		ASSERT_GE(fd, 0) << rel;
		ASSERT_EQ(write(fd, bytes.data(), bytes.size()),
		          (ssize_t)bytes.size());
		close(fd);
	}
	void dir(const std::string &rel)
	{
		ASSERT_EQ(mkdir(at(rel).c_str(), 0755), 0) << rel;
	}
	void link(const std::string &target, const std::string &rel)
	{
		ASSERT_EQ(symlink(target.c_str(), at(rel).c_str()), 0) << rel;
	}
};

// The listing of a directory; empty when it cannot be opened.
std::set<std::string> listed(const std::string &path)
{
	std::set<std::string> names;
	hostdir *d = hostopendir(path.c_str());
	if (d == nullptr)
		return names;
	for (const char *n; (n = hostreaddir(d)) != nullptr;)
		names.insert(n);
	hostclosedir(d);
	return names;
}

// Every piece of an open file through hostfgets with a buffer of size
// bytes, or hostfgetswith with c; the loop must end on its own.  With
// numbered, each after the line it begins on and a colon.
std::vector<std::string> readpieces(hostfile *f, int size, int c,
                                    bool numbered = false)
{
	std::vector<std::string> got;
	char buf[256];
	for (int guard = 0;; guard++) {
		if (guard > 100000) {
			ADD_FAILURE() << "reading never ends";
			break;
		}
		if ((c < 0 ? hostfgets(buf, size, f)
		           : hostfgetswith(buf, size, f, c)) == nullptr)
			break;
		got.push_back(numbered
		                      ? std::to_string(hostfline(f)) + ":" + buf
		                      : buf);
	}
	return got;
}

// Every piece a page loop reads, fgets-style with a 256-byte buffer, or
// with c only those that hold c.
std::vector<std::string> pieces(const std::string &path, int c = -1)
{
	hostfile *f = hostfopen(path.c_str());
	if (f == nullptr) {
		ADD_FAILURE() << "cannot open " << path;
		return {};
	}
	std::vector<std::string> got = readpieces(f, 256, c);
	EXPECT_EQ(hostfclose(f), 0);
	return got;
}

// The pieces that hold c, as a reader that passes over the others must
// deliver them.
std::vector<std::string> holding(const std::vector<std::string> &all, char c)
{
	std::vector<std::string> v;
	for (const std::string &p : all)
		if (p.find(c) != std::string::npos)
			v.push_back(p);
	return v;
}

// fgets pieces of text that is already in LF form.
std::vector<std::string> split(const std::string &text)
{
	std::vector<std::string> v;
	for (size_t i = 0; i < text.size();) {
		size_t nl = text.find('\n', i);
		size_t end = nl == std::string::npos ? text.size() : nl + 1;
		end = std::min(end, i + 255);
		v.push_back(text.substr(i, end - i));
		i = end;
	}
	return v;
}

} // namespace

// The Win32 path rules as text, with no file system: what a path is once
// normalised, its directory part as written and once normalised, and its
// last component once stripped; then single components, stripped as the
// last one or as an inner one.
TEST(pathrules, astext)
{
	struct {
		const char *path, *norm;
		int dirpath, dirpart; // normalise's *dirpath, dirpartlen
		int dirlen;           // lastcomponent's *dirlen
		const char *last;     // the last component, stripped
	} cases[] = {
	        {"a/b\\c", "a/b/c", 0, 4, 3, "c"},
	        {"a//\\b", "a/b", 0, 4, 1, "b"},
	        {"\\a", "/a", 0, 1, 1, "a"},
	        {"/", "/", 0, 1, 1, ""},
	        {"a/", "a", 1, 2, 0, "a"},
	        {"a\\.\\b", "a/b", 0, 4, 1, "b"},
	        {"a/../b", "b", 0, 5, 0, "b"},
	        {"a/..", ".", 0, 2, 0, ""},
	        {"../a", "../a", 0, 3, 2, "a"},
	        {"a/../../b", "../b", 0, 8, 2, "b"},
	        {"/..", "/", 0, 1, 1, ""},
	        {"/../a", "/a", 0, 4, 1, "a"},
	        {"", ".", 0, 0, 0, ""},
	        {".", ".", 0, 0, 0, ""},
	        {"file. .", "file. .", 0, 0, 0, "file"},
	        {"dir./x. ", "dir./x. ", 0, 5, 4, "x"},
	        {"...", "...", 0, 0, 0, ""},
	        {"a/b/", "a/b", 1, 4, 1, "b"},
	        {"a/.b/../c", "a/c", 0, 8, 1, "c"},
	        {"a\\./b/../c/", "a/c", 1, 11, 1, "c"},
	        {"a\\b/c.gif", "a/b/c.gif", 0, 4, 3, "c.gif"},
	        {"x/y/z/last", "x/y/z/last", 0, 6, 5, "last"},
	        // a last component of dots and blanks names its directory
	        {"a/. ", "a/. ", 0, 2, 1, ""},
	        {"a\\...", "a/...", 0, 2, 1, ""},
	        // names that begin with a dot are names
	        {".a/..b", ".a/..b", 0, 3, 2, "..b"},
	        {"../.../a", "../.../a", 0, 7, 6, "a"},
	        {".a.", ".a.", 0, 0, 0, ".a"},
	};
	for (auto &c : cases) {
		char out[hostpathsize];
		int dirpath = -1;
		int n = normalise(c.path, out, sizeof out, &dirpath);
		EXPECT_EQ(std::string(out, n > 0 ? n : 0), c.norm) << c.path;
		EXPECT_EQ(dirpath, c.dirpath) << c.path;
		EXPECT_EQ(dirpartlen(c.path, (int)strlen(c.path)), c.dirpart)
		        << c.path;
		int dirlen = -1, last = lastcomponent(out, n, &dirlen);
		EXPECT_EQ(dirlen, c.dirlen) << c.path;
		EXPECT_EQ(std::string(out + last,
		                      stripped(out + last, n - last, 1)),
		          c.last)
		        << c.path;
	}
	struct {
		const char *name;
		int last;         // stripped as the last component
		const char *kept; // what is left; nothing names the directory
		int dotname;      // what is left is "." or "..": no step
	} components[] = {
	        {"x. .", 1, "x", 0},      {"x..", 0, "x.", 0},
	        {"dir..", 0, "dir.", 0},  {"dir .", 0, "dir ", 0},
	        {"dir. ", 0, "dir. ", 0}, {"dir. ", 1, "dir", 0},
	        {"...", 0, "..", 1},      {"....", 0, "...", 0},
	        {"...", 1, "", 0},        {". .", 1, "", 0},
	        {". .", 0, ". ", 0},      {".a", 1, ".a", 0},
	        {".a.", 0, ".a", 0},      {"..a", 1, "..a", 0},
	        {"a..", 1, "a", 0},
	};
	for (auto &c : components) {
		int len = stripped(c.name, (int)strlen(c.name), c.last);
		EXPECT_EQ(std::string(c.name, len), c.kept)
		        << c.name << (c.last ? " last" : " inner");
		EXPECT_EQ(isdotname(c.name, len), c.dotname)
		        << c.name << (c.last ? " last" : " inner");
	}
	char joined[8];
	EXPECT_TRUE(joinpath(joined, sizeof joined, ".", "ab", 2));
	EXPECT_STREQ(joined, "ab");
	EXPECT_TRUE(joinpath(joined, sizeof joined, "/", "ab", 2));
	EXPECT_STREQ(joined, "/ab");
	EXPECT_TRUE(joinpath(joined, sizeof joined, "a", "b", 1));
	EXPECT_STREQ(joined, "a/b");
	EXPECT_FALSE(joinpath(joined, sizeof joined, "dir", "abcd", 4));
	char small[4];
	int dirpath;
	EXPECT_EQ(normalise("abcd", small, sizeof small, &dirpath), -1);
}

// Random trees against a simple model of the host's rules.  Each tree lies
// in a fresh directory of its own, beside an empty working directory, and
// every path names it exactly, so that nothing the host remembers of one
// tree, or of a working directory listed before, is asked of another.
namespace {

struct randomtree {
	std::string name, top;            // its directory, relative and whole
	std::vector<std::string> entries; // below top; "" for top itself
	std::vector<std::string> files;
	std::string made; // what was made, a line each
};

const char twins[] = "aAbBzZ[{@`"; // pairs that differ only in bit 5
const char letters[] = "aAbBzZ[{@`\xe9";

// A name of few letters, so that case twins and prefixes meet, sometimes
// ending in dots or blanks, and now and then so long that paths through
// it are longer than the host's caches keep.
std::string randomname(std::mt19937 &rng)
{
	static const char *const ends[] = {"",  "",   "",  ".htm", ".HTM",
	                                   ".", "..", " ", ". ",   " ."};
	std::string s;
	for (int n = rng() % 12 ? 1 + rng() % 3 : 100 + rng() % 100; n > 0; n--)
		s += letters[rng() % (sizeof letters - 1)];
	return s + ends[rng() % 10];
}

// A name like s: most often a case twin, or a prefix, one byte longer,
// or with a dot or a blank after it.
std::string nearname(std::mt19937 &rng, std::string s)
{
	switch (rng() % 6) {
	case 0:
	case 1:
	case 2:
		for (char &c : s)
			if (strchr(twins, c) != nullptr && rng() % 2)
				c ^= 0x20;
		break;
	case 3:
		if (s.size() > 1)
			s.pop_back();
		break;
	case 4:
		s += "aZ."[rng() % 3];
		break;
	default:
		s += rng() % 2 ? "." : " ";
	}
	return s;
}

// A page that names itself in its first line, with CR, LF, CR LF and
// equals signs on the borders of 255-byte pieces and of 64 KiB blocks
// and at its first and last bytes, and sometimes a Ctrl-Z.
std::string randompage(std::mt19937 &rng, const std::string &id, bool big)
{
	static const char *const marks[] = {"\n", "\r\n", "\r", "\r\r\n", "="};
	// equals signs in most bytes, in some or in few
	static const std::string fills[] = {
	        "x=", "xxxxxxx \t=", std::string(299, 'x') + "="};
	const std::string &fill = fills[rng() % 3];
	std::string s = rng() % 4 ? "" : marks[rng() % 5];
	s += "=" + id + "\n";
	size_t size = !big ? rng() % 1500 : 65536 + 300 + rng() % 600;
	while (s.size() < size) {
		size_t len = rng() % 2 ? 255 * (1 + rng() % 3) + rng() % 5 - 3
		                       : rng() % 60;
		for (size_t i = 0; i < len; i++)
			s += fill[rng() % fill.size()];
		s += marks[rng() % 5];
	}
	// a line end where the first block ends, or a line across its end
	// with an equals sign only after it
	size_t from = 65535 - rng() % 700, to = 65536 + rng() % 300;
	if (big && rng() % 2)
		s.replace(65535 + rng() % 3, 2, marks[rng() % 4]);
	else if (big)
		s.replace(from, to + 1 - from,
		          "\n" + std::string(to - from - 1, 'x') + "=");
	// a Ctrl-Z anywhere, on a block border, in a later block or last
	size_t z[] = {rng() % s.size(), 65534 + rng() % 4, 65536 + rng() % 300,
	              s.size() - 1};
	size_t at = z[rng() % 4];
	if (rng() % 3 == 0 && at < s.size())
		s[at] = '\x1a';
	else
		s.back() = marks[rng() % 5][0];
	return s;
}

void writebytes(const std::string &path, const std::string &bytes, int flags)
{
	int fd = open(path.c_str(), O_WRONLY | flags, 0644);
	ASSERT_GE(fd, 0) << path;
	ASSERT_EQ(write(fd, bytes.data(), bytes.size()), (ssize_t)bytes.size());
	close(fd);
}

// A tree of directories, pages, FIFOs and symbolic links to directories
// and files, dangling, looping or through a file; now and then with more
// directories and pages than the host's caches keep.
randomtree maketree(std::mt19937 &rng, const std::string &base, int number)
{
	randomtree t;
	t.name = "t" + std::to_string(number);
	t.top = base + "/" + t.name;
	mkdir(t.top.c_str(), 0755);
	t.entries.push_back("");
	auto add = [&](const std::string &rel, const std::string &what) {
		t.entries.push_back(rel);
		t.made += what + " \"" + rel + "\"\n";
	};
	auto page = [&](const std::string &rel) {
		// the first page often and others seldom more than a block
		bool big = rng() % (t.files.empty() ? 2 : 16) == 0;
		std::string bytes = randompage(rng, t.name + "/" + rel, big);
		writebytes(t.top + "/" + rel, bytes, O_CREAT | O_EXCL);
		t.files.push_back(rel);
		add(rel, "page of " + std::to_string(bytes.size()) + " bytes");
	};
	std::vector<std::string> dirs = {""}, links;
	bool wide = rng() % 30 == 0;
	for (int i = 0; wide && i < 100; i++) {
		std::string d = "w" + std::to_string(i / 10);
		if (i % 10 == 0) {
			mkdir((t.top + "/" + d).c_str(), 0755);
			add(d, "directory");
		}
		page(d + "/p" + std::to_string(i % 10) + ".htm");
	}
	for (size_t i = 0; i < dirs.size(); i++) {
		std::vector<std::string> names;
		for (int n = 2 + rng() % 3; n > 0; n--) {
			std::string name =
			        names.empty() || rng() % 2
			                ? randomname(rng)
			                : nearname(rng, names.back());
			if (std::find(names.begin(), names.end(), name) !=
			    names.end())
				continue;
			names.push_back(name);
			std::string rel =
			        dirs[i].empty() ? name : dirs[i] + "/" + name;
			int kind = rng() % 10;
			if (kind < 3 && dirs.size() < 6) {
				mkdir((t.top + "/" + rel).c_str(), 0755);
				dirs.push_back(rel);
				add(rel, "directory");
			} else if (kind == 3) {
				mkfifo((t.top + "/" + rel).c_str(), 0644);
				add(rel, "FIFO");
			} else if (kind >= 7) {
				links.push_back(rel);
			} else {
				page(rel);
			}
		}
	}
	for (const std::string &rel : links) {
		std::string to, name = rel.substr(rel.rfind('/') + 1);
		switch (t.files.empty() ? 2 : rng() % 6) {
		case 0:
			to = t.top + "/" + t.files[rng() % t.files.size()];
			break;
		case 1:
			to = t.top + "/" + dirs[rng() % dirs.size()];
			break;
		case 2:
			to = "nowhere";
			break;
		case 3:
			to = name; // a loop
			break;
		case 4:
			to = t.top + "/" + t.files[rng() % t.files.size()] +
			     "/x";
			break;
		default:
			// its own directory's parent, never above the tree
			to = rel.find('/') != std::string::npos ? ".." : name;
		}
		symlink(to.c_str(), (t.top + "/" + rel).c_str());
		add(rel, "link to \"" + to + "\"");
	}
	return t;
}

// A path to an entry of the tree or near one: the tree reached from the
// root or up from the working directory by one '..' or more, the entry's
// names as written or twisted, with '.' and '..' between them and a
// trailing separator, dot or blank.
std::string randompath(std::mt19937 &rng, const randomtree &t,
                       const std::vector<std::string> &above)
{
	static const char *const seps[] = {"/", "\\", "//", "\\/"};
	static const char *const inner[] = {".", "x/..", "..."};
	static const char *const specials[] = {"", "/", "\\", ".", ".."};
	if (rng() % 100 == 0)
		return specials[rng() % 5];
	std::string p;
	switch (rng() % 5) {
	case 0:
		p = t.top;
		break;
	case 1:
		p = rng() % 2 ? "../" + t.name : "nosuch/../../" + t.name;
		break;
	case 2: {
		// from one level above the working directory to one above the
		// root
		size_t up = 2 + rng() % (above.size() + 1);
		for (size_t i = 0; i < up; i++)
			p += "../";
		for (size_t i = above.size() - std::min(up - 1, above.size());
		     i < above.size(); i++)
			p += above[i] + "/";
		p += t.name;
		break;
	}
	case 3:
		p = "/../.." + t.top;
		break;
	default:
		p = t.top + "/../" + t.name;
	}
	if (rng() % 4 == 0)
		std::replace(p.begin(), p.end(), '/', '\\');
	std::string entry = t.entries[rng() % t.entries.size()];
	for (size_t at = 0; at < entry.size();) {
		size_t end = std::min(entry.find('/', at), entry.size());
		std::string name = entry.substr(at, end - at);
		at = end + 1;
		p += seps[rng() % 4] + (rng() % 4 ? name : nearname(rng, name));
		if (rng() % 10 == 0)
			p += seps[rng() % 4] + std::string(inner[rng() % 3]);
		if (rng() % 10 == 0)
			p += seps[rng() % 4] + std::string("..") + seps[0] +
			     name;
	}
	static const char *const ends[] = {"/",  "\\", "/.",  "/..", "/...",
	                                   "/x", "/ ", ". .", "."};
	if (rng() % 3 == 0)
		p += ends[rng() % (entry.empty() ? 7 : 9)];
	return p;
}

// The names in the host directory dir.
std::set<std::string> modellisting(const std::string &dir)
{
	std::set<std::string> names;
	DIR *d = opendir(dir.c_str());
	for (struct dirent *e; d != nullptr && (e = readdir(d)) != nullptr;)
		names.insert(e->d_name);
	if (d != nullptr)
		closedir(d);
	return names;
}

// readpieces of a file that may not have opened, closed after.
std::vector<std::string> hostpieces(hostfile *f, int size, int c)
{
	if (f == nullptr)
		return {};
	hostfcountlines(f);
	std::vector<std::string> got = readpieces(f, size, c, true);
	hostfclose(f);
	return got;
}

// hostopendir against the model's answer m; a directory opened is closed
// at once, after one entry, or read whole and its listing compared.
std::string comparedir(std::mt19937 &rng, const std::string &path,
                       const modelanswer &m, bool listable)
{
	errno = EINVAL;
	hostdir *d = hostopendir(path.c_str());
	int e = errno, how = listable ? rng() % 3 : 0;
	std::set<std::string> got;
	for (const char *name;
	     d != nullptr && how > 0 && (name = hostreaddir(d)) != nullptr;
	     how = how == 1 ? 0 : how)
		got.insert(name);
	if (d != nullptr)
		hostclosedir(d);
	if (e != m.direrrno || (d != nullptr) != (m.direrrno == 0))
		return " hostopendir errno " + std::to_string(e);
	return how == 2 && got != modellisting(m.host) ? " listing" : "";
}

// hostfopen against the model's answer m: the first piece, which tells
// what opened, and with whole every piece of hostfgets and hostfgetswith.
std::string comparefile(std::mt19937 &rng, const std::string &path,
                        const modelanswer &m, bool whole)
{
	hostfile *f = hostfopen(path.c_str());
	char buf[256];
	std::string first = f != nullptr && hostfgets(buf, 256, f) ? buf : "";
	if (f != nullptr)
		hostfclose(f);
	std::vector<std::string> want =
	        modelpieces(m.text.substr(0, 256), 256, -1);
	if ((f != nullptr) != m.opens || first != (want.empty() ? "" : want[0]))
		return " hostfopen, first piece \"" + first + "\"";
	int size = rng() % 4 ? 256 : 64;
	if (m.opens && whole &&
	    hostpieces(hostfopen(path.c_str()), size, -1) !=
	            modelpieces(m.text, size, -1, true))
		return " hostfgets pieces of " + std::to_string(size);
	if (m.opens && whole &&
	    hostpieces(hostfopen(path.c_str()), 256, '=') !=
	            modelpieces(m.text, 256, '=', true))
		return " hostfgetswith pieces";
	return "";
}

// Where the host's answers for a path of tree t differ from the model's,
// or ""; the three calls in a random order, and every piece of a file
// read once a tree.
std::string compare(std::mt19937 &rng, const randomtree &t,
                    const std::string &path, std::set<ino_t> &wholly)
{
	modelanswer m = modelask(path);
	std::string diff, h = m.host + "/";
	struct stat st;
	// a listing read whole is kept: the directory must stand still, as
	// everything the tree's links lead to does
	bool listable = h.find("/" + t.name + "/") != std::string::npos;
	bool whole = m.opens && stat(m.host.c_str(), &st) == 0 &&
	             wholly.insert(st.st_ino).second;
	int order[] = {0, 1, 2};
	std::shuffle(order, order + 3, rng);
	for (int step : order)
		if (step == 0)
			diff += comparedir(rng, path, m, listable);
		else if (step == 1 &&
		         hostcanopen(path.c_str(), (int)path.size()) != m.opens)
			diff += " hostcanopen";
		else if (step == 2)
			diff += comparefile(rng, path, m, whole);
	return diff;
}

int envnumber(const char *name, int otherwise)
{
	const char *s = getenv(name);
	return s != nullptr && *s != '\0' ? atoi(s) : otherwise;
}

} // namespace

// PLOTWALK_PROPERTY_TREES trees from PLOTWALK_PROPERTY_SEED; every path
// is asked twice, the second time mostly after the caches started over.
TEST(hostmodel, randomtrees)
{
	int trees = envnumber("PLOTWALK_PROPERTY_TREES", 200);
	unsigned seed = envnumber("PLOTWALK_PROPERTY_SEED", 1);
	char tmpl[] = "/tmp/plotwalkprop-XXXXXX", real[PATH_MAX], cwd[PATH_MAX];
	ASSERT_NE(mkdtemp(tmpl), nullptr);
	ASSERT_NE(realpath(tmpl, real), nullptr);
	ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
	std::string base = real;
	ASSERT_EQ(mkdir((base + "/w").c_str(), 0755), 0);
	ASSERT_EQ(chdir((base + "/w").c_str()), 0);
	std::vector<std::string> above;
	for (size_t at = 1, end; at < base.size(); at = end + 1) {
		end = std::min(base.find('/', at), base.size());
		above.push_back(base.substr(at, end - at));
	}
	std::mt19937 rng(seed);
	long asked = 0;
	int kept = 0;
	std::vector<std::string> passed;
	for (int n = 0; n < trees && kept < 3; n++) {
		randomtree t = maketree(rng, base, n);
		std::vector<std::string> paths;
		for (size_t i = 0; i < (t.files.size() > 50 ? 600 : 50); i++)
			paths.push_back(randompath(rng, t, above));
		std::set<ino_t> wholly; // files read to their end
		int differences = 0;
		auto differ = [&](const std::string &path,
		                  const std::string &what) {
			if (differences++ < 5)
				ADD_FAILURE()
				        << "PLOTWALK_PROPERTY_SEED=" << seed
				        << " PLOTWALK_PROPERTY_TREES=" << n + 1
				        << ", path \"" << path
				        << "\": " << what;
		};
		for (int round = 0; round < 2; round++) {
			for (const std::string &path : paths) {
				std::string diff =
				        compare(rng, t, path, wholly);
				if (!diff.empty())
					differ(path, diff);
			}
			std::shuffle(paths.begin(), paths.end(), rng);
			asked += paths.size();
		}
		// a page yields no more than it held when it was opened
		if (!t.files.empty()) {
			std::string path =
			        t.top + "/" + t.files[rng() % t.files.size()];
			modelanswer m = modelask(path);
			hostfile *f = hostfopen(path.c_str());
			writebytes(path, "=grown\r\n", O_APPEND);
			if (hostpieces(f, 256, -1) !=
			    modelpieces(m.text, 256, -1, true))
				differ(path, "pieces of a page that grew");
		}
		if (differences > 0) {
			ADD_FAILURE() << "seed " << seed << ", tree " << n
			              << " kept in " << t.top << ":\n"
			              << t.made;
			kept++;
		} else {
			passed.push_back(t.top);
		}
	}
	ASSERT_EQ(chdir(cwd), 0);
	// removed at the end: a file system slows down making new files
	// among many just deleted
	for (const std::string &top : passed)
		std::filesystem::remove_all(top);
	if (kept == 0)
		std::filesystem::remove_all(base);
	printf("%d trees, %ld paths asked\n", trees, asked);
}

TEST_F(host, opendirerrors)
{
	dir("dir");
	dir("a");
	dir("a/b");
	file("file.txt", "x\n");
	link("nowhere", "dangling");
	link("dir", "linkdir");
	link("loop", "loop");
	ASSERT_EQ(mkfifo(at("fifo").c_str(), 0644), 0);
	enum { ok, noent, notdir, other };
	struct {
		std::string path;
		int errnokind;
	} cases[] = {
	        {root, ok},
	        {at("dir"), ok},
	        {at("dir/"), ok},
	        {at("linkdir"), ok},
	        {at("DIR"), ok},
	        {at("A/B"), ok},
	        {root + "//a//b//", ok},
	        {backslashed(at("a/b")), ok},
	        {backslashed(at("a")) + "\\\\b", ok},
	        {"/", ok},
	        {"\\", ok},
	        {at("missing"), noent},
	        {at("missing/x"), noent},
	        {at("dir/missing"), noent},
	        {at("file.txt"), notdir},
	        {at("FILE.TXT"), notdir},
	        {"", notdir},
	        {at("dangling"), notdir},
	        {at("loop"), notdir},
	        {at("file.txt/x"), noent},
	        {at("file.txt/"), noent},
	        {at("fifo/x"), noent},
	        {at("loop/x"), noent},
	        {at("dir."), ok},
	        {at("dir. ."), ok},
	        // a last component of dots and blanks names its directory
	        {at("dir/..."), ok},
	        {backslashed(at("a/b")) + "\\. ", ok},
	        {at("missing/..."), noent},
	        {at("missing/../dir"), ok},
	        {at("dir/../../") + root.substr(root.rfind('/') + 1) + "/a",
	         ok},
	        {"/..\\..", ok},
	};
	for (auto &c : cases) {
		errno = EINVAL;
		hostdir *d = hostopendir(c.path.c_str());
		int e = errno;
		switch (c.errnokind) {
		case ok:
			EXPECT_EQ(e, 0) << c.path;
			EXPECT_NE(d, nullptr) << c.path;
			break;
		case noent:
			EXPECT_EQ(e, ENOENT) << c.path;
			break;
		case notdir:
			EXPECT_EQ(e, ENOTDIR) << c.path;
			break;
		case other:
			EXPECT_NE(e, 0) << c.path;
			EXPECT_NE(e, ENOENT) << c.path;
			break;
		}
		if (c.errnokind != ok) {
			EXPECT_EQ(d, nullptr) << c.path;
		}
		if (d != nullptr)
			hostclosedir(d);
	}
}

TEST_F(host, listingandmapping)
{
	dir("dir");
	dir("dir/sub");
	file("dir/page.htm", "");
	dir("a");
	dir("a/b");
	file("a/b/inner.txt", "");
	// case matches without an exact one: the lowest in byte order wins
	dir("cases");
	for (const char *n : {"caseDir", "CaseDir", "casedir"}) {
		dir(std::string("cases/") + n);
		file(std::string("cases/") + n + "/" + n, "");
	}
	std::set<std::string> want = {".", "..", "sub", "page.htm"};
	EXPECT_EQ(listed(at("dir")), want);
	EXPECT_EQ(listed(at("DIR")), want);
	EXPECT_EQ(listed(backslashed(at("Dir")) + "\\"), want);
	EXPECT_EQ(listed(at("cases/CASEDIR")),
	          (std::set<std::string>{".", "..", "CaseDir"}));
	EXPECT_EQ(listed(at("cases/casedir")),
	          (std::set<std::string>{".", "..", "casedir"}));

	// relative paths start from the working directory
	char cwd[PATH_MAX];
	ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
	ASSERT_EQ(chdir(root.c_str()), 0);
	std::set<std::string> inner = {".", "..", "inner.txt"};
	EXPECT_EQ(listed("DIR"), want);
	EXPECT_EQ(listed("a\\b"), inner);
	EXPECT_EQ(listed("a//b"), inner);
	EXPECT_EQ(listed("A\\B\\"), inner);
	EXPECT_EQ(listed(".\\A/b"), inner);
	EXPECT_EQ(listed("cases\\CASEDIR"),
	          (std::set<std::string>{".", "..", "CaseDir"}));
	ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(host, opensonlyregularfiles)
{
	dir("dir");
	file("file.txt", "text\n");
	file("dir/Page.HTM", "page\n");
	file("dot.", "dot.\n");
	// made before the first lookup: a run lists a directory once
	dir("twins");
	for (const char *n : {"pAGE.htm", "Page.htm", "PAGE.htm", "page.HTM"})
		file(std::string("twins/") + n, n);
	file("blank ", "blank \n");
	link("file.txt", "link.txt");
	link("dir", "linkdir");
	link("nowhere", "dangling");
	ASSERT_EQ(mkfifo(at("fifo").c_str(), 0644), 0);
	link("fifo", "linkfifo");
	dir("listed");
	file("listed/a.htm", "a\n");
	file("listed/b.htm", "b\n");
	dir("listed/c.htm");
	ASSERT_EQ(mkfifo(at("listed/d.htm").c_str(), 0644), 0);
	link("../fifo", "listed/e.htm");
	link("a.htm", "listed/f.htm");
	const int many = 600;
	for (int i = 0; i < many; i++) {
		dir("many" + std::to_string(i));
		file("many" + std::to_string(i) + "/f.gif", "");
	}
	struct {
		std::string path;
		const char *text; // nullptr: must not open
	} cases[] = {
	        {at("file.txt"), "text\n"},
	        {at("FILE.TXT"), "text\n"},
	        {at("link.txt"), "text\n"},
	        {backslashed(at("dir/page.htm")), "page\n"},
	        {at("DIR//page.htm"), "page\n"},
	        {at("dir"), nullptr},
	        {at("linkdir"), nullptr},
	        {at("dangling"), nullptr},
	        {at("missing.txt"), nullptr},
	        {at("file.txt/x"), nullptr},
	        {at("fifo"), nullptr},
	        {at("linkfifo"), nullptr},
	        {"/dev/null", nullptr},
	        {"/", nullptr},
	        {"", nullptr},
	        // Windows resolves dots as text and drops trailing dots and
	        // blanks, unless a name of exactly that form is on disk
	        {at("missing/../file.txt"), "text\n"},
	        {at("file.txt/../dir/page.htm"), "page\n"},
	        {at("file.txt/."), "text\n"},
	        {at("file.txt. ."), "text\n"},
	        {at("dir./page.htm"), "page\n"},
	        {at("dir./page.htm "), "page\n"},
	        {at("dir. /page.htm"), nullptr},
	        {at("dir../page.htm"), nullptr},
	        {at("dir/.../file.txt"), nullptr},
	        {at("file.txt/"), nullptr},
	        {at("file.txt\\"), nullptr},
	        {at("file.txt/ "), nullptr},
	        {at("file.txt/.."), nullptr},
	        {at("dot."), "dot.\n"},
	        {at("dot.."), nullptr},
	        {at("blank "), "blank \n"},
	        {at("DOT"), nullptr},
	};
	for (auto &c : cases) {
		alarm(10); // a FIFO that blocks ends the run here
		// the probe's shortcuts answer as opening does
		EXPECT_EQ(hostcanopen(c.path.c_str(), (int)c.path.size()),
		          c.text != nullptr)
		        << c.path;
		hostfile *f = hostfopen(c.path.c_str());
		alarm(0);
		if (c.text == nullptr) {
			EXPECT_EQ(f, nullptr) << c.path;
			if (f != nullptr)
				hostfclose(f);
			continue;
		}
		ASSERT_NE(f, nullptr) << c.path;
		char buf[256];
		EXPECT_EQ(hostfgets(buf, sizeof buf, f), buf) << c.path;
		EXPECT_STREQ(buf, c.text) << c.path;
		EXPECT_EQ(hostfclose(f), 0) << c.path;
	}

	// a directory listed part way through hostreaddir, then through the
	// probes: no entry listed as other than a regular file is opened
	// unchecked
	hostdir *d = hostopendir(at("listed").c_str());
	ASSERT_NE(d, nullptr);
	EXPECT_NE(hostreaddir(d), nullptr);
	hostclosedir(d);
	EXPECT_EQ(listed(at("listed")).size(), 8u);
	for (const char *n : {"a", "b", "c", "d", "e", "f", "g"}) {
		std::string path = backslashed(at("listed/")) + n + ".htm";
		alarm(10);
		hostfile *f = hostfopen(path.c_str());
		alarm(0);
		int want = strchr("abf", *n) != nullptr;
		EXPECT_EQ(f != nullptr, want) << path;
		EXPECT_EQ(hostcanopen(path.c_str(), (int)path.size()), want)
		        << path;
		if (f != nullptr)
			hostfclose(f);
	}

	// several case matches and no exact one: the lowest in byte order
	hostfile *f = hostfopen(at("twins/page.htm").c_str());
	ASSERT_NE(f, nullptr);
	char buf[256];
	ASSERT_NE(hostfgets(buf, sizeof buf, f), nullptr);
	EXPECT_STREQ(buf, "PAGE.htm");
	hostfclose(f);

	// more directories and probed files than the caches keep: they start
	// over and answer alike
	for (int round = 0; round < 2; round++)
		for (int i = 0; i < many; i++) {
			std::string d =
			        backslashed(at("many" + std::to_string(i)));
			std::string in = d + "\\F.GIF", out = d + "x\\f.gif";
			EXPECT_EQ(hostcanopen(in.c_str(), (int)in.size()), 1)
			        << d;
			EXPECT_EQ(hostcanopen(out.c_str(), (int)out.size()), 0)
			        << d;
		}
}

TEST_F(host, lines)
{
	std::string x255(255, 'x');
	struct {
		std::string bytes;
		std::vector<std::string> want;
	} cases[] = {
	        {"", {}},
	        {"a\nb\n", {"a\n", "b\n"}},
	        {"a\nb", {"a\n", "b"}},
	        {"abc", {"abc"}},
	        {"\n\n", {"\n", "\n"}},
	        {"a\r\nb\r\n", {"a\n", "b\n"}},
	        {"a\rb\n", {"a\rb\n"}},
	        {"a\r", {"a\r"}},
	        {"\r", {"\r"}},
	        {"\r\r\n", {"\r\n"}},
	        {"a\n\r", {"a\n", "\r"}},
	        {"\r\n\r\n", {"\n", "\n"}},
	        {std::string(600, 'x') + "\n",
	         {x255, x255, std::string(90, 'x') + "\n"}},
	        {x255 + "\n", {x255, "\n"}},
	        {std::string(254, 'x') + "\r\n",
	         {std::string(254, 'x') + "\n"}},
	        {x255 + "\r\n", {x255, "\n"}},
	};
	for (auto &c : cases) {
		file("page.htm", c.bytes);
		EXPECT_EQ(pieces(at("page.htm")), c.want) << c.bytes;
		EXPECT_EQ(pieces(at("page.htm"), 'x'), holding(c.want, 'x'))
		        << c.bytes;
	}
}

TEST_F(host, readblockborder)
{
	// 65535 bytes before the tail: the first 65536-byte read ends with
	// the tail's first byte
	std::string prefix;
	while (prefix.size() + 100 <= 65535)
		prefix += std::string(99, 'x') + "\n";
	prefix += std::string(65535 - prefix.size(), 'y');
	ASSERT_EQ(prefix.size(), 65535u);
	// a few blocks of CR LF lines
	std::string crlfs, lfs;
	for (int i = 0; i < 8000; i++) {
		crlfs += "line " + std::to_string(i) + " of many\r\n";
		lfs += "line " + std::to_string(i) + " of many\n";
	}
	struct {
		std::string tail, lf;
	} cases[] = {
	        {"\r\nend\n", "\nend\n"}, {"\r\n", "\n"},
	        {"\rx\n", "\rx\n"},       {"\r", "\r"},
	        {"\r\r\n", "\r\n"},       {"z\r", "z\r"},
	        {"z\r\n", "z\n"},         {"\n" + crlfs, "\n" + lfs},
	};
	for (auto &c : cases) {
		std::string lf = prefix + c.lf;
		file("page.htm", prefix + c.tail);
		EXPECT_EQ(pieces(at("page.htm")), split(lf))
		        << "tail " << c.tail.substr(0, 8);
		EXPECT_EQ(pieces(at("page.htm"), 'y'), holding(split(lf), 'y'))
		        << "tail " << c.tail.substr(0, 8);
	}
}

// Passing over the pieces without an equals sign delivers the others as
// reading every piece would, wherever lines, long lines, CR LF pairs and
// the reads' borders fall.
TEST_F(host, piecesholding)
{
	std::mt19937 gen(7);
	const char bytes[] = "ab=\r\n\n ";
	for (int round = 0; round < 40; round++) {
		std::string text;
		size_t size = 60000 + gen() % 140000;
		while (text.size() < size) {
			int r = gen() % 100;
			if (r < 3)
				text += std::string(200 + gen() % 400, 'x');
			else
				text += bytes[gen() % 7];
			if (gen() % 5000 == 0)
				text += '\x1a';
		}
		file("page.htm", text);
		std::vector<std::string> all = pieces(at("page.htm"));
		ASSERT_EQ(pieces(at("page.htm"), '='), holding(all, '='))
		        << "round " << round;
	}
}

TEST_F(host, endoffile)
{
	char buf[256];

	// an empty file: the first read delivers nothing and marks the end
	file("empty.htm", "");
	hostfile *f = hostfopen(at("empty.htm").c_str());
	ASSERT_NE(f, nullptr);
	strcpy(buf, "keep");
	EXPECT_EQ(hostfgets(buf, sizeof buf, f), nullptr);
	EXPECT_STREQ(buf, "keep");
	EXPECT_EQ(hostfclose(f), 0);

	// after the last line the end is met by the next read
	file("one.htm", "only\n");
	f = hostfopen(at("one.htm").c_str());
	ASSERT_NE(f, nullptr);
	EXPECT_EQ(hostfgets(buf, sizeof buf, f), buf);
	EXPECT_STREQ(buf, "only\n");
	strcpy(buf, "keep");
	EXPECT_EQ(hostfgets(buf, sizeof buf, f), nullptr);
	EXPECT_STREQ(buf, "keep");
	EXPECT_EQ(hostfclose(f), 0);
}

TEST_F(host, nulbytes)
{
	file("nul.htm", std::string("a\0b\r\nc\n", 7));
	hostfile *f = hostfopen(at("nul.htm").c_str());
	ASSERT_NE(f, nullptr);
	char buf[256];
	memset(buf, 'Z', sizeof buf);
	EXPECT_EQ(hostfgets(buf, sizeof buf, f), buf);
	EXPECT_EQ(std::string(buf, 5), std::string("a\0b\n\0", 5));
	EXPECT_EQ(hostfgets(buf, sizeof buf, f), buf);
	EXPECT_STREQ(buf, "c\n");
	EXPECT_EQ(hostfclose(f), 0);
}
