// Cutting references out of page text, joining them to the directory,
// and the report line for one that cannot be found.
#include "plotwalk.h"

#include <gtest/gtest.h>

#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

namespace {

// Text placed so that its terminator is the last readable byte: a read
// past the end faults instead of passing unnoticed.
struct guardedtext {
	char *base = nullptr;
	size_t mempage = 0; // the size of a memory page
	char *text = nullptr;
	explicit guardedtext(const std::string &s)
	{
		mempage = (size_t)sysconf(_SC_PAGESIZE);
		void *p = mmap(nullptr, 2 * mempage, PROT_READ | PROT_WRITE,
		               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
		if (p == MAP_FAILED)
			return;
		base = (char *)p;
		mprotect(base + mempage, mempage, PROT_NONE);
		text = base + mempage - s.size() - 1;
		memcpy(text, s.c_str(), s.size() + 1);
	}
	~guardedtext()
	{
		if (base != nullptr)
			munmap(base, 2 * mempage);
	}
	guardedtext(const guardedtext &) = delete;
	guardedtext &operator=(const guardedtext &) = delete;
};

class reference : public ::testing::Test {
      protected:
	void SetUp() override
	{
		resetstate();
	}
};

} // namespace

TEST(getworkfile, cutting)
{
	struct {
		std::string text;
		int result;
		std::string ref, after; // after: "" when the text is unchanged
	} cases[] = {
	        {"=page2.htm>", 9, "page2.htm", ""},
	        {"= \"page 2.htm\" alt=x", 10, "page 2.htm", ""},
	        {"=stories/a.htm", 13, "stories\\a.htm", "=stories\\a.htm"},
	        {"=\"/top.htm\"", 8, "/top.htm", ""},
	        {"=\"/top/x.htm\"", 10, "/top\\x.htm", "=\"/top\\x.htm\""},
	        {"=\"/\"", 1, "/", ""},
	        {"=\"\" title=\"x\"", 8, "\" title=", ""},
	        {"=\"\"\"", 1, "\"", ""},
	        {"=\"\"", 0, "", ""},
	        {"=>", 0, "", ""},
	        {"= >", 0, "", ""},
	        {"=", 0, "", ""},
	        {"=  \r\n", 0, "", ""},
	        {"=\"abc", 0, "", ""},
	        {"=\"abc\r\n", 0, "", ""},
	        {"=\"x", 0, "", ""},
	        {"=\"", 0, "", ""},
	        {"= \"", 0, "", ""},
	        {"=\"x\"", 1, "x", ""},
	        {"='a.htm'", 7, "'a.htm'", ""},
	        {"=a\"b", 3, "a\"b", ""},
	        {"=a=b>", 3, "a=b", ""},
	        {"=http://x.org/a>", 14, "http:\\\\x.org\\a",
	         "=http:\\\\x.org\\a>"},
	        // white space is exactly blank, tab, LF, VT, FF and CR
	        {"= \t\n\v\f\rb.htm", 5, "b.htm", ""},
	        {"=\xa0"
	         "b.htm",
	         6,
	         "\xa0"
	         "b.htm",
	         ""},
	        {"=\x85x", 2, "\x85x", ""},
	        {"=a.htm b", 5, "a.htm", ""},
	        {"=a\tb", 1, "a", ""},
	        {"=a\nb", 1, "a", ""},
	        {"=a\vb", 1, "a", ""},
	        {"=a\fb", 1, "a", ""},
	        {"=a\rb", 1, "a", ""},
	        {"=a\xa0z", 3, "a\xa0z", ""},
	        {"=a>b", 1, "a", ""},
	        {"=a.htm\r\n", 5, "a.htm", ""},
	        // a quoted value may hold blanks, white space and '>'
	        {"=\"a >b\tc\">", 6, "a >b\tc", ""},
	        {"=\t\"x y\"", 3, "x y", ""},
	        // an unclosed quoted value is given up, its slashes converted
	        {"=\"a/b/c", 0, "", "=\"a\\b\\c"},
	        {"=\"/a/b", 0, "", "=\"/a\\b"},
	};
	for (auto &c : cases) {
		guardedtext g(c.text);
		ASSERT_NE(g.text, nullptr);
		char ref[refsize];
		memset(ref, 'R', sizeof ref);
		int r = getworkfile(ref, refsize, g.text);
		EXPECT_EQ(r, c.result) << c.text;
		EXPECT_EQ(std::string(ref), c.ref) << c.text;
		EXPECT_EQ(std::string(g.text),
		          c.after.empty() ? c.text : c.after)
		        << c.text;
	}
}

// The equals signs' mask, and the shortcuts for an unquoted and a quoted
// value, which must cut what cut() cuts, on random pieces in buffers that
// hold leftovers of longer pieces.
TEST(unquotedvalue, agreeswithcut)
{
	const char alphabet[] = "==  \"\"><:/\\\t\r\x01\xa0pa.h";
	unsigned seed = 12345;
	auto next = [&seed] {
		return (seed = seed * 1103515245 + 12345) >> 16;
	};
	int fast = 0;
	for (int round = 0; round < 20000; round++) {
		char line[linesize + linepad];
		for (char &c : line)
			c = alphabet[next() % (sizeof alphabet - 1)];
		int len = (int)(next() % linesize);
		line[len] = '\0';
		uint64_t equals[piecewords];
		maskpiece(line, len, equals);
		for (int e = 0; e < linesize; e++) {
			bool bit = equals[e / 64] >> e % 64 & 1;
			ASSERT_EQ(bit, e < len && line[e] == '=') << e;
			if (!bit)
				continue;
			char copy[sizeof line], quoted[sizeof line];
			memcpy(copy, line, sizeof copy);
			memcpy(quoted, line, sizeof quoted);
			cutvalue v{}, q{};
			int n = cut(copy + e, &v),
			    unquoted = unquotedvalue(line, e);
			if (line[e + 1] == '"') {
				ASSERT_EQ(quotedvalue(quoted, e, &q), n)
				        << line + e;
				ASSERT_EQ(memcmp(quoted, copy, sizeof copy), 0);
				bool same = q.start == v.start &&
				            q.len == v.len &&
				            q.hascolon == v.hascolon &&
				            q.hasseparator == v.hasseparator;
				EXPECT_TRUE(n == 0 || same) << line + e;
			}
			if (unquoted == 0)
				continue;
			fast++;
			EXPECT_EQ(unquoted, n) << line + e;
			EXPECT_EQ(v.start, 1) << line + e;
			EXPECT_FALSE(v.hascolon || v.hasseparator) << line + e;
		}
	}
	EXPECT_GT(fast, 1000);
}

TEST(getworkfile, referencesize)
{
	struct {
		std::string text;
		int size, result;
		std::string ref;
	} cases[] = {
	        {"=abc", 4, 3, "abc"},   {"=abcd", 4, 0, ""},
	        {"=abcd>", 4, 0, ""},    {"=\"abc\"", 4, 3, "abc"},
	        {"=\"abcd\"", 4, 0, ""}, {"=\"\" x=\"", 4, 0, ""},
	        {"=a", 2, 1, "a"},       {"=ab", 2, 0, ""},
	};
	for (auto &c : cases) {
		guardedtext g(c.text);
		ASSERT_NE(g.text, nullptr);
		char ref[16];
		memset(ref, 'R', sizeof ref);
		EXPECT_EQ(getworkfile(ref, c.size, g.text), c.result) << c.text;
		EXPECT_EQ(std::string(ref), c.ref) << c.text;
		for (int k = c.size; k < (int)sizeof ref; k++)
			EXPECT_EQ(ref[k], 'R') << c.text << " byte " << k;
	}

	// the longest line: an equals sign and 254 characters
	std::string line = "=" + std::string(254, 'p');
	guardedtext g(line);
	char ref[refsize];
	EXPECT_EQ(getworkfile(ref, refsize, g.text), 254);
	EXPECT_EQ(std::string(ref), std::string(254, 'p'));
}

TEST_F(reference, joining)
{
	struct {
		const char *dir, *ref, *joined;
	} cases[] = {
	        {"story", "x\"y/z.htm", "story\\xy\\z.htm"},
	        {"story", "pics\\x.gif", "story\\pics\\x.gif"},
	        {"my/story", "pics/x.gif", "my\\story\\pics\\x.gif"},
	        {"my\\story/", "a.htm", "my\\story\\\\a.htm"},
	        {"a\"b", "c", "ab\\c"},
	        {"story", "\\top.htm", "story\\\\top.htm"},
	        {"story", "\"", "story\\"},
	        {"story", "", "story\\"},
	        {"", "x", "\\x"},
	        {"", "", "\\"},
	        {".", "'a.htm'", ".\\'a.htm'"},
	};
	for (auto &c : cases) {
		strcpy(dirname, c.dir);
		char path[joinedsize];
		memset(path, 'P', sizeof path);
		int r = expandworkfile(c.ref, path, joinedsize);
		EXPECT_STREQ(path, c.joined) << c.dir << " " << c.ref;
		EXPECT_EQ(r, (int)strlen(c.joined)) << c.dir << " " << c.ref;
	}
}

TEST_F(reference, longestjoin)
{
	std::string dir(255, 'd'), ref(255, 'r');
	strcpy(dirname, dir.c_str());
	char path[joinedsize + 8];
	memset(path, 'P', sizeof path);
	EXPECT_EQ(expandworkfile(ref.c_str(), path, joinedsize), 511);
	EXPECT_EQ(std::string(path), dir + "\\" + ref);
	for (int k = joinedsize; k < (int)sizeof path; k++)
		EXPECT_EQ(path[k], 'P') << k;
}

TEST_F(reference, shortpath)
{
	// a path buffer too small for the join is never overrun and always
	// holds text of the returned length
	strcpy(dirname, "d");
	for (int size = 1; size <= 6; size++) {
		char path[16];
		memset(path, 'P', sizeof path - 1);
		path[sizeof path - 1] = '\0';
		int r = expandworkfile("a/bc", path, size);
		EXPECT_LT(r, size);
		EXPECT_EQ(std::string(path),
		          std::string("d\\a\\bc").substr(0, r))
		        << size;
		for (int k = size; k < (int)sizeof path - 1; k++)
			EXPECT_EQ(path[k], 'P') << size << " byte " << k;
	}
}

TEST(missingline, sameasformat)
{
	// the line built by hand holds the bytes printf makes of the format
	std::string longpage = std::string(namesize - 1, 'd') + "\\" +
	                       std::string(entrynamesize - 1, 'n');
	std::string longref = std::string(joinedsize - 1, 'r');
	const char *pages[] = {"story\\a.htm", "my/story\\b.htm", ".\\%s.htm",
	                       "\\", longpage.c_str()};
	const char *names[] = {"x.gif",        "",
	                       "a b\"c",       "100%",
	                       "%s%c",         "\xe9\r\n",
	                       "pics\\x1.gif", "pics\\x12345678901.gif",
	                       longref.c_str()};
	for (const char *page : pages)
		for (const char *name : names) {
			char want[leadsize + joinedsize + 3];
			int wantlen = snprintf(want, sizeof want, missingformat,
			                       page, name, 13, 10);
			char lead[leadsize], line[leadsize + joinedsize + 3];
			int leadlen = missinglead(lead, leadsize, page);
			ASSERT_GT(leadlen, 0) << page;
			int n = missingline(line, sizeof line, lead, leadlen,
			                    name, (int)strlen(name));
			EXPECT_EQ(std::string(line, n),
			          std::string(want, wantlen))
			        << page << " " << name;
		}

	// neither part is written beyond its size
	char lead[31], line[16];
	EXPECT_EQ(missinglead(lead, 30, ""), 0);
	EXPECT_EQ(missinglead(lead, 31, ""), 30);
	memset(line, 'L', sizeof line);
	EXPECT_EQ(missingline(line, 10, "  In ", 5, "ab", 2), 10);
	EXPECT_EQ(std::string(line, 11), "  In ab.\r\nL");
	EXPECT_EQ(missingline(line, 10, "  In ", 5, "abc", 3), 0);
}
