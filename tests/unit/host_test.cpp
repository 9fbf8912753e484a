// The POSIX host layer: directory opening and listing, mapping of the
// program's paths, and text-mode reading of regular files.
#include "host.h"
#include "unix/unix.h"

#include <gtest/gtest.h>

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

// Every piece a page loop reads, fgets-style with a 256-byte buffer, or
// with c only those that hold c; the loop must end on its own.
std::vector<std::string> pieces(const std::string &path, int c = -1)
{
	std::vector<std::string> got;
	hostfile *f = hostfopen(path.c_str());
	if (f == nullptr) {
		ADD_FAILURE() << "cannot open " << path;
		return got;
	}
	char buf[256];
	for (int guard = 0;; guard++) {
		if (guard > 100000) {
			ADD_FAILURE() << "reading never ends";
			break;
		}
		if ((c < 0 ? hostfgets(buf, sizeof buf, f)
		           : hostfgetswith(buf, sizeof buf, f, c)) == nullptr)
			break;
		got.push_back(buf);
	}
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
// normalised, its directory part as written, and its last component
// once stripped.
TEST(pathrules, astext)
{
	struct {
		const char *path, *norm;
		int dirpath, dirpart;
		const char *last; // the last component, stripped
	} cases[] = {
	        {"a/b\\c", "a/b/c", 0, 4, "c"},
	        {"a//\\b", "a/b", 0, 4, "b"},
	        {"\\a", "/a", 0, 1, "a"},
	        {"/", "/", 0, 1, ""},
	        {"a/", "a", 1, 2, "a"},
	        {"a\\.\\b", "a/b", 0, 4, "b"},
	        {"a/../b", "b", 0, 5, "b"},
	        {"a/..", ".", 0, 2, ""},
	        {"../a", "../a", 0, 3, "a"},
	        {"a/../../b", "../b", 0, 8, "b"},
	        {"/..", "/", 0, 1, ""},
	        {"/../a", "/a", 0, 4, "a"},
	        {"", ".", 0, 0, ""},
	        {".", ".", 0, 0, ""},
	        {"file. .", "file. .", 0, 0, "file"},
	        {"dir./x. ", "dir./x. ", 0, 5, "x"},
	        {"...", "...", 0, 0, ""},
	        {"a/b/", "a/b", 1, 4, "b"},
	};
	for (auto &c : cases) {
		char out[hostpathsize];
		int dirpath = -1;
		int n = normalise(c.path, out, sizeof out, &dirpath);
		EXPECT_EQ(std::string(out, n > 0 ? n : 0), c.norm) << c.path;
		EXPECT_EQ(dirpath, c.dirpath) << c.path;
		EXPECT_EQ(dirpartlen(c.path, (int)strlen(c.path)), c.dirpart)
		        << c.path;
		int dirlen, last = lastcomponent(out, n, &dirlen);
		EXPECT_EQ(std::string(out + last,
		                      stripped(out + last, n - last, 1)),
		          c.last)
		        << c.path;
	}
	// an inner component loses one trailing dot; "." and ".." are no
	// names
	EXPECT_EQ(stripped("dir..", 5, 0), 4);
	EXPECT_EQ(stripped("dir .", 5, 0), 4);
	EXPECT_TRUE(isdotname("..", 2));
	EXPECT_FALSE(isdotname("...", 3));
	char joined[8];
	EXPECT_TRUE(joinpath(joined, sizeof joined, ".", "ab", 2));
	EXPECT_STREQ(joined, "ab");
	EXPECT_TRUE(joinpath(joined, sizeof joined, "/", "ab", 2));
	EXPECT_STREQ(joined, "/ab");
	EXPECT_FALSE(joinpath(joined, sizeof joined, "dir", "abcd", 4));
	char small[4];
	int dirpath;
	EXPECT_EQ(normalise("abcd", small, sizeof small, &dirpath), -1);
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
