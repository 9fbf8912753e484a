// Catalogue order and case-insensitive lookup, including the lookups over
// catalogues read from real directories.
#include "plotwalk.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

flistentry entry(const char *name, uint16_t status = unreached)
{
	flistentry e{};
	snprintf(e.name, sizeof e.name, "%s", name);
	e.status = status;
	return e;
}

std::vector<std::string> names(const std::vector<flistentry> &list)
{
	std::vector<std::string> v;
	for (auto &e : list)
		v.push_back(e.name);
	return v;
}

std::vector<int> statuses(const std::vector<flistentry> &list)
{
	std::vector<int> v;
	for (auto &e : list)
		v.push_back(e.status);
	return v;
}

// The lookup rule written out the simplest way: same length, and bytes equal
// once a-z are taken as A-Z.
int linearindex(const flistentry *list, const std::string &q, int count)
{
	auto fold = [](unsigned char c) {
		return c >= 'a' && c <= 'z' ? c - 32 : c;
	};
	for (int i = 0; i < count; i++) {
		std::string n = list[i].name;
		if (n.size() != q.size())
			continue;
		size_t k = 0;
		while (k < n.size() && fold(n[k]) == fold(q[k]))
			k++;
		if (k == n.size())
			return i;
	}
	return -1;
}

class catalogue : public ::testing::Test {
      protected:
	std::string root;
	void SetUp() override
	{
		char tmpl[] = "/tmp/plotwalkunit-XXXXXX";
		ASSERT_NE(mkdtemp(tmpl), nullptr);
		root = tmpl;
		resetstate();
	}
	void TearDown() override
	{
		std::filesystem::remove_all(root);
	}
	// Fills root with empty files of the given names and catalogues it
	// the way main does, with the report lines sent to /dev/null.
	void readdirectory(const std::vector<std::string> &files)
	{
		for (auto &f : files) {
			int fd = open((root + "/" + f).c_str(),
			              O_CREAT | O_WRONLY, 0644);
			ASSERT_GE(fd, 0) << f;
			close(fd);
		}
		std::string arg = root;
		char *argv[] = {(char *)"plotwalk", arg.data(), nullptr};
		resolvetarget(2, argv);
		fflush(stdout);
		int saved = dup(1), null = open("/dev/null", O_WRONLY);
		dup2(null, 1);
		readcatalogue();
		fflush(stdout);
		dup2(saved, 1);
		close(saved);
		close(null);
	}
	// The catalogue's lookups must agree with linearindex and with a
	// lookup over a copy of the records; the indexed one also for the
	// name as it stands inside a page, with more text after it.
	void checklookup(const std::string &q)
	{
		std::vector<flistentry> copy(flist, flist + flistentries);
		int want = linearindex(flist, q, flistentries);
		EXPECT_EQ(indexofname(flist, q.c_str(), flistentries), want)
		        << q;
		EXPECT_EQ(indexofname(copy.data(), q.c_str(), flistentries),
		          want)
		        << q;
		std::string inpage = q + "x.htm\">";
		EXPECT_EQ(findname(inpage.c_str(), (int)q.size()), want) << q;
	}
	// Scans root/page.htm, which holds bytes, and returns the report
	// lines printed.
	std::string scan(const std::string &bytes)
	{
		std::string page = root + "/page.htm", out = root + "/out";
		int fd = open(page.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
		EXPECT_EQ(write(fd, bytes.data(), bytes.size()),
		          (ssize_t)bytes.size());
		close(fd);
		fflush(stdout);
		int saved = dup(1);
		fd = open(out.c_str(), O_CREAT | O_RDWR | O_TRUNC, 0644);
		dup2(fd, 1);
		plotwalk("page.htm");
		fflush(stdout);
		dup2(saved, 1);
		close(saved);
		std::string report(lseek(fd, 0, SEEK_END), '\0');
		EXPECT_EQ(pread(fd, report.data(), report.size(), 0),
		          (ssize_t)report.size());
		close(fd);
		return report;
	}
};

} // namespace

TEST(brutesort, order)
{
	struct {
		std::vector<const char *> in, out;
	} cases[] = {
	        {{"index.htm", "Start.htm"}, {"Start.htm", "index.htm"}},
	        {{"alpha.htm", "Zeta.htm"}, {"Zeta.htm", "alpha.htm"}},
	        {{"c", "a", "b"}, {"a", "b", "c"}},
	        {{"ab", "a", "abc", ""}, {"", "a", "ab", "abc"}},
	        {{"a.htm", "_.htm", "[.htm", "A.htm", "0.htm"},
	         {"0.htm", "A.htm", "[.htm", "_.htm", "a.htm"}},
	        {{"\xe9.htm", "z.htm", "\x80.htm", "~.htm", "Z.htm"},
	         {"Z.htm", "z.htm", "~.htm", "\x80.htm", "\xe9.htm"}},
	        {{"b\xff", "b\x7f", "b"}, {"b", "b\x7f", "b\xff"}},
	};
	for (auto &c : cases) {
		std::vector<flistentry> list;
		for (auto n : c.in)
			list.push_back(entry(n));
		brutesort(list.data(), (int)list.size());
		EXPECT_EQ(names(list),
		          std::vector<std::string>(c.out.begin(), c.out.end()))
		        << c.in[0];
	}
}

TEST(brutesort, wholerecords)
{
	// status travels with its name; equal names keep their order
	std::vector<flistentry> list = {
	        entry("d", 1), entry("b", 0), entry("x", 2), entry("a", 2),
	        entry("c", 0), entry("x", 1), entry("x", 0),
	};
	brutesort(list.data(), (int)list.size());
	EXPECT_EQ(names(list), (std::vector<std::string>{"a", "b", "c", "d",
	                                                 "x", "x", "x"}));
	EXPECT_EQ(statuses(list), (std::vector<int>{2, 0, 0, 1, 2, 1, 0}));

	std::vector<flistentry> same = {entry("s", 2), entry("s", 0),
	                                entry("s", 1)};
	brutesort(same.data(), 3);
	EXPECT_EQ(statuses(same), (std::vector<int>{2, 0, 1}));
}

TEST(brutesort, counts)
{
	// only the first count records are touched
	std::vector<flistentry> list = {entry("c", 1), entry("b", 2),
	                                entry("a", 0)};
	brutesort(list.data(), 0);
	EXPECT_EQ(names(list), (std::vector<std::string>{"c", "b", "a"}));
	brutesort(list.data(), 1);
	EXPECT_EQ(names(list), (std::vector<std::string>{"c", "b", "a"}));
	brutesort(list.data(), 2);
	EXPECT_EQ(names(list), (std::vector<std::string>{"b", "c", "a"}));
	EXPECT_EQ(statuses(list), (std::vector<int>{2, 1, 0}));
}

TEST(brutesort, fullcatalogue)
{
	std::vector<flistentry> list;
	char name[32];
	for (int i = flistmax - 1; i >= 0; i--) {
		snprintf(name, sizeof name, "page%04d.htm", i);
		list.push_back(entry(name, (uint16_t)(i % 3)));
	}
	brutesort(list.data(), flistmax);
	for (int i = 0; i < flistmax; i++) {
		snprintf(name, sizeof name, "page%04d.htm", i);
		ASSERT_STREQ(list[i].name, name);
		ASSERT_EQ(list[i].status, i % 3) << name;
	}
}

TEST(brutesort, shuffled)
{
	// any count, any order: the order of a stable sort by strcmp, each
	// record (its status its first position) whole
	std::mt19937 rng(19991001);
	const std::string chars = "aAbB.\x80\xff";
	for (int count : {2, 3, 5, 16, 17, 100, 513, flistmax}) {
		std::vector<flistentry> list;
		for (int i = 0; i < count; i++) {
			std::string n;
			for (int k = 1 + (int)(rng() % 4); k > 0; k--)
				n += chars[rng() % chars.size()];
			list.push_back(entry(n.c_str(), (uint16_t)i));
		}
		std::vector<flistentry> want = list;
		std::stable_sort(want.begin(), want.end(),
		                 [](const flistentry &a, const flistentry &b) {
			                 return strcmp(a.name, b.name) < 0;
		                 });
		brutesort(list.data(), count);
		EXPECT_EQ(names(list), names(want)) << count;
		EXPECT_EQ(statuses(list), statuses(want)) << count;
	}
}

TEST(indexofname, folding)
{
	std::vector<flistentry> list = {
	        entry("INDEX.htm"), entry("index.htm"), entry("a_.htm"),
	        entry("[.htm"),     entry("\xe0.htm"),  entry("ab.htm"),
	        entry("@x"),        entry(""),
	};
	struct {
		const char *name;
		int pos;
	} cases[] = {
	        {"index.htm", 0}, // an earlier case-only match wins
	        {"INDEX.htm", 0}, {"INDEX.HTM", 0}, {"iNdEx.HtM", 0},
	        {"A_.HTM", 2},    {"a_.htm", 2},    {"[.HTM", 3},
	        {"{.htm", -1},    {"\xe0.HTM", 4},  {"\xc0.htm", -1},
	        {"AB.HTM", 5},    {"ab.ht", -1},    {"ab.htmx", -1},
	        {"ab.htm ", -1},  {"`x", -1},       {"@X", 6},
	        {"", 7},          {"missing", -1},  {"a", -1},
	};
	for (auto &c : cases)
		EXPECT_EQ(indexofname(list.data(), c.name, (int)list.size()),
		          c.pos)
		        << c.name;

	EXPECT_EQ(indexofname(list.data(), "ab.htm", 5), -1);
	EXPECT_EQ(indexofname(list.data(), "index.htm", 0), -1);
}

TEST_F(catalogue, emptydirectory)
{
	readdirectory({"notes.txt", "page.Htm"});
	EXPECT_EQ(flistentries, 0);
	EXPECT_STREQ(rootname, "");
	EXPECT_EQ(indexofname(flist, "notes.txt", 0), -1);
	EXPECT_EQ(indexofname(flist, "", 0), -1);
}

TEST_F(catalogue, twins)
{
	readdirectory({"a.htm", "A.htm", "index.htm", "INDEX.HTM", "Index.htm",
	               "[x].htm", "{x}.htm", "@.htm", "`.htm", "\xc0.htm",
	               "\xe0.htm", "b.html", "notes.txt"});
	ASSERT_EQ(flistentries, 12);
	EXPECT_STREQ(flist[0].name, "@.htm");
	EXPECT_STREQ(rootname, "@.htm");
	struct {
		const char *name, *found; // nullptr: not found
	} cases[] = {
	        {"a.htm", "A.htm"},         {"A.HTM", "A.htm"},
	        {"index.htm", "INDEX.HTM"}, {"Index.htm", "INDEX.HTM"},
	        {"[X].HTM", "[x].htm"},     {"{X}.htm", "{x}.htm"},
	        {"`.htm", "`.htm"},         {"@.HTM", "@.htm"},
	        {"\xc0.htm", "\xc0.htm"},   {"\xe0.HTM", "\xe0.htm"},
	        {"B.HTML", "b.html"},       {"notes.txt", nullptr},
	        {"b.htm", nullptr},         {"", nullptr},
	};
	for (auto &c : cases) {
		int pos = indexofname(flist, c.name, flistentries);
		if (c.found == nullptr) {
			EXPECT_EQ(pos, -1) << c.name;
		} else {
			ASSERT_GE(pos, 0) << c.name;
			EXPECT_STREQ(flist[pos].name, c.found) << c.name;
		}
		checklookup(c.name);
	}
	// a partial count is answered over those records alone
	EXPECT_EQ(indexofname(flist, "\xe0.htm", flistentries - 1), -1);
	EXPECT_EQ(indexofname(flist, "b.html", 7), -1);
	EXPECT_EQ(indexofname(flist, "b.html", 8), 7);
	// and a catalogue whose count changed since it was indexed is
	// indexed again
	flistentries = 7;
	EXPECT_EQ(findname("B.HTML", 6), -1);
	EXPECT_EQ(findname("[x].HTM", 7), 4);
	flistentries = 8;
	EXPECT_EQ(findname("B.HTML", 6), 7);
}

TEST_F(catalogue, manynames)
{
	std::mt19937 rng(20240607);
	const std::string chars =
	        "abcdxyzABCDXYZ019_-[]{}@`~^ \xc0\xe0\xe9\xc9";
	auto pick = [&](int n) { return (int)(rng() % n); };
	auto flip = [&](std::string s) {
		for (auto &ch : s)
			if (isalpha((unsigned char)ch) && pick(2))
				ch ^= 0x20;
		return s;
	};
	std::set<std::string> made;
	std::vector<std::string> files;
	auto add = [&](const std::string &n) {
		if (made.insert(n).second)
			files.push_back(n);
	};
	while (files.size() < 1000) {
		std::string base;
		for (int k = 1 + pick(12); k > 0; k--)
			base += chars[pick((int)chars.size())];
		std::string mark = pick(2) ? ".htm" : ".HTML";
		add(base + mark);
		if (pick(3) == 0)
			add(flip(base) + mark); // a case-only twin
	}
	readdirectory(files);
	ASSERT_EQ(flistentries, (int)files.size());

	for (auto &n : files) {
		std::string upper = n, lower = n, other = n;
		for (auto &ch : upper)
			if (ch >= 'a' && ch <= 'z')
				ch -= 32;
		for (auto &ch : lower)
			if (ch >= 'A' && ch <= 'Z')
				ch += 32;
		for (auto &ch : other) // neighbours that must not fold
			if (ch == '[' || ch == '@' || (unsigned char)ch >= 0xc0)
				ch ^= 0x20;
		int pos = indexofname(flist, n.c_str(), flistentries);
		ASSERT_GE(pos, 0) << n;
		checklookup(n);
		checklookup(upper);
		checklookup(lower);
		checklookup(flip(n));
		checklookup(other);
		checklookup(n + "x");
		checklookup(n.substr(0, n.size() - 1));
		checklookup("_" + n);
	}
}

// The memo of unquoted values answers as cutting them and looking them up
// does, for values of every length up to one past the longest it keeps,
// each met in turn with near misses that may share its memo entry: one
// byte longer or shorter, and any other byte, letter case too, at each
// position.
TEST_F(catalogue, memorecall)
{
	// catalogued as the program does, for the smallest memo, then filled
	// with names that need not be HTML
	readdirectory({"page.htm"});
	std::vector<std::string> names = {"page.htm"};
	for (int len = 1; len <= 17; len++)
		names.push_back(std::string(len, (char)('a' + len)));
	for (size_t i = 0; i < names.size(); i++)
		flist[i] = entry(names[i].c_str());
	flistentries = (int)names.size();
	std::string bytes, want;
	std::string miss =
	        "  In " + root + "\\page.htm, can't find linked file ";
	// text that refers to value as often as it holds an equals sign
	auto refer = [&](const std::string &value, const std::string &text) {
		bytes += text;
		for (char c : text)
			if (c == '=' &&
			    indexofname(flist, value.c_str(), flistentries) < 0)
				want += miss + value + ".\r\n";
	};
	// four times in a row after white space, '>' and at a piece's end,
	// so that the memo recalls it
	auto often = [&](const std::string &value) {
		std::string s, fill(254 - value.size(), 'x');
		for (const char *after : {" ", "\t", ">", "\n"}) {
			for (int k = 0; k < 4; k++)
				s += "=" + value + after;
			s += "\n";
		}
		for (int k = 0; k < 4; k++)
			s += fill + "=" + value + "\n";
		refer(value, s);
	};
	for (int len = 1; len <= 17; len++) {
		std::string v = names[len];
		bytes = want = "";
		for (std::string w :
		     {v + v[0], v + "x", v.substr(0, len - 1)}) {
			often(v);
			if (!w.empty())
				often(w);
		}
		for (int i = 0; i < len; i++)
			for (int b = '!'; b <= 0xff; b++) {
				std::string w = v;
				w[i] = (char)b;
				if (strchr("\":/\\=>", b) != nullptr ||
				    b == v[i])
					continue;
				refer(v, "=" + v + " ");
				refer(w, "=" + w + "\n");
			}
		// and at the end of the text
		refer(v, "=" + v);
		for (int i = 0; i < flistentries; i++)
			flist[i].status = unreached;
		EXPECT_EQ(scan(bytes), want) << v;
		for (int i = 1; i < flistentries; i++)
			EXPECT_EQ(flist[i].status,
			          i == len ? pending : unreached)
			        << v << " reached " << flist[i].name;
	}
	// a quoted value is no unquoted one: unquoted, its bytes end at the
	// blank, whichever memo entry the text after them picks
	bytes = want = "";
	for (int k = 0; k < 4096; k++) {
		std::string after = {(char)('a' + k % 26),
		                     (char)('a' + k / 26 % 26),
		                     (char)('a' + k / 676 % 26)};
		refer("x y", "=\"x y\"\n");
		refer("x", "=x y " + after + "\n");
	}
	EXPECT_EQ(scan(bytes), want);
}
