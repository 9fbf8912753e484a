// Hostile story trees: binary and huge pages, odd names, links to
// anything on the disk, and output that cannot be delivered.
#include "harness.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>
#include <sstream>

using namespace std::string_literals;

static std::string miss(const std::string &page, const std::string &ref)
{
	return "  In " + page + ", can't find linked file " + ref + ".";
}

static const std::string a = "story\\a.htm";

// Bytes from a fixed seed, without equals signs unless equals is set,
// and always with NUL bytes among them.
static std::string randombytes(size_t n, unsigned seed, bool equals)
{
	std::mt19937 gen(seed);
	std::string s;
	while (s.size() < n) {
		char c = (char)(gen() & 0xff);
		if ((c != '=' || equals) && c != 0x1a)
			s += c;
		if (s.size() % 97 == 0)
			s += '\0';
	}
	return s;
}

// Links at both ends of a 10 MB line, one where a piece starts and one
// inside a piece in the middle.
static std::string tenmegabytes()
{
	const size_t piece = 255, pieces = 41120;
	std::string s = "<a href=b.htm>";
	s.resize(piece * pieces, 'x');
	s.replace(piece * 20000 + 10, 8, "=zz.gif ");
	return s + "=c.htm";
}

// A million equals signs on one line: each 255-character piece is one
// reference of the 254 after its first sign; 145 signs are left over.
static std::vector<std::string> equalsreport(const std::string &page)
{
	std::vector<std::string> v(3921, miss(page, std::string(254, '=')));
	v.push_back(miss(page, std::string(144, '=')));
	return v;
}

static const std::string odddir = "my %s story\xc3\xa9";
static const std::string oddpage = "a %n%s\xff.htm";

static const std::string dir255(255, 'd');
static const std::string rpart(250, 'r');

static std::string climb(int n)
{
	std::string s;
	for (int i = 0; i < n; i++)
		s += "..\\";
	return s;
}

static const std::vector<runcase> hostilecases = {
        {"binary_page",
         {{"story/a.htm", randombytes(65536, 1, false) +
                                  "\n<a href=b.htm>\n\0 <a href=c.htm>\n"
                                  "=zz.gif\n"s +
                                  randombytes(4096, 2, false)},
          {"story/b.htm", randombytes(4096, 3, false)},
          {"story/c.htm", ""}},
         {"story"},
         opened("story", 3, "story", {miss(a, "zz.gif")},
                parttree(2, "a.htm", {"c.htm"}))},
        // a Ctrl-Z ends the text, also after a CR held at a read's end
        {"ctrl_z",
         {{"a.htm", "<a href=b.htm>\r\n\x1a<a href=c.htm>\n"},
          {"b.htm", std::string(65535, ' ') + "\r\x1a=c.htm"},
          {"c.htm", ""}},
         {"a.htm"},
         opened("a.htm", 3, ".", parttree(2, "a.htm", {"c.htm"}))},
        {"no_line_end",
         {{"story/a.htm", "<a href=b.htm>\n<img src=zz.gif"},
          {"story/b.htm", "<a href=\"c.htm\""},
          {"story/c.htm", "<a href=\"b.htm\">"}},
         {"story"},
         opened("story", 3, "story", {miss(a, "zz.gif")}, alltree("a.htm"))},
        {"ends_in_open_quote",
         {{"story/a.htm", "<a href=b.htm> <img src=\""},
          {"story/b.htm", "=\""}},
         {"story"},
         opened("story", 2, "story", alltree("a.htm"))},
        {"odd_names",
         {{odddir + "/" + oddpage, "<a href=\"b %d.htm\"> <img src=\"p %x/"
                                   "\xe9.gif\"> <img src=%s%n.gif>"},
          {odddir + "/b %d.htm", ""},
          {odddir + "/\xe9 orphan %%.htm", ""}},
         {odddir},
         opened(odddir, 3, odddir,
                {miss(odddir + "\\" + oddpage, odddir + "\\p %x\\\xe9.gif"),
                 miss(odddir + "\\" + oddpage, "%s%n.gif")},
                parttree(2, oddpage, {"\xe9 orphan %%.htm"})),
         0,
         "Windows names reach the program in its code page"},
        {"dangling_root",
         {{"story/a.htm", ""}, {"story/x.htm", "nowhere.htm", nodekind::link}},
         {"story/x.htm"},
         opened("story/x.htm", 2, "story", {"", "  Can't open story\\x.htm"}),
         1,
         "symbolic links"},
        {"loop_linked_page",
         {{"story/a.htm", "<a href=x.htm>"},
          {"story/x.htm", "y.htm", nodekind::link},
          {"story/y.htm", "x.htm", nodekind::link}},
         {"story"},
         opened("story", 3, "story", {"", "  Can't open story\\x.htm"}),
         1,
         "symbolic links"},
        {"links_probed",
         {{"story/a.htm", "<img src=\"dang/x.htm\"> <img src=loop\\x.htm>"},
          {"story/dang/x.htm", "nowhere.htm", nodekind::link},
          {"story/loop/x.htm", "x.htm", nodekind::link}},
         {"story"},
         opened("story", 1, "story",
                {miss(a, "story\\dang\\x.htm"), miss(a, "story\\loop\\x.htm")},
                alltree("a.htm")),
         0,
         "symbolic links"},
        {"special_files_probed",
         {{"story/a.htm", "<img src=\"..\\fifo.gif\"> <img src=../sock.gif>\n"
                          "<img src=\"" +
                                  climb(40) +
                                  "dev\\zero\">\n<img src=pics/zero.gif>\n"},
          {"fifo.gif", "", nodekind::fifo},
          {"sock.gif", "", nodekind::socket},
          {"story/pics/zero.gif", "/dev/zero", nodekind::link}},
         {"story"},
         opened("story", 1, "story",
                {miss(a, "story\\..\\fifo.gif"), miss(a, "story\\..\\sock.gif"),
                 miss(a, "story\\" + climb(40) + "dev\\zero"),
                 miss(a, "story\\pics\\zero.gif")},
                alltree("a.htm")),
         0,
         "FIFOs and devices"},
        {"socket_page",
         {{"story/a.htm", "<a href=s.htm>"},
          {"story/s.htm", "", nodekind::socket}},
         {"story"},
         opened("story", 2, "story", {"", "  Can't open story\\s.htm"}),
         1,
         "sockets"},
        {"zero_page",
         {{"story/a.htm", "<a href=z.htm>"},
          {"story/z.htm", "/dev/zero", nodekind::link}},
         {"story"},
         opened("story", 2, "story", {"", "  Can't open story\\z.htm"}),
         1,
         "devices"},
        {"longest_reference",
         {{dir255 + "/a.htm",
           "=sub/" + rpart + "\n=" + std::string(254, 'q') + "\n"},
          {dir255 + "/sub/" + rpart, ""}},
         {dir255},
         opened(dir255, 1, dir255,
                {miss(dir255 + "\\a.htm", dir255 + "\\sub\\" + rpart),
                 miss(dir255 + "\\a.htm", std::string(254, 'q'))},
                alltree("a.htm")),
         0,
         "the full path passes MAX_PATH on Windows"},
};

class hostilerun : public runcases {};

TEST_P(hostilerun, run)
{
	check();
}

INSTANTIATE_TEST_SUITE_P(trees, hostilerun, ::testing::ValuesIn(hostilecases),
                         casename);

static std::vector<std::string> splitlines(const std::string &s)
{
	std::vector<std::string> v;
	size_t at = 0;
	for (size_t end; (end = s.find("\r\n", at)) != std::string::npos;
	     at = end + 2)
		v.push_back(s.substr(at, end - at));
	if (at < s.size())
		v.push_back(s.substr(at));
	return v;
}

// Huge pages are built in their tests, not with the table.
TEST_F(e2e, hugepages)
{
	struct {
		std::string page;
		std::vector<std::string> lines;
	} cases[] = {
	        {tenmegabytes(), opened("story", 3, "story",
	                                {miss(a, "zz.gif")}, alltree("a.htm"))},
	        {std::string(1000000, '='),
	         opened("story", 3, "story", equalsreport(a),
	                parttree(1, "a.htm", {"b.htm", "c.htm"}))},
	};
	tree({{"story/b.htm", ""}, {"story/c.htm", ""}});
	for (const auto &c : cases) {
		file("story/a.htm", c.page);
		runresult r = run({"story"});
		EXPECT_EQ(r.out, report(c.lines));
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(r.signal, 0);
	}
}

// Random pages with equals signs: whatever they hold, the report keeps
// its form, with at most one line for each equals sign.
TEST_F(e2e, randompages)
{
	for (unsigned seed = 10; seed < 20; seed++) {
		std::string bytes = randombytes(16384, seed, true);
		makedir(at("story"));
		file("story/r.htm", bytes);
		runresult r = run({"story"});
		std::vector<std::string> lines = splitlines(r.out);
		std::vector<std::string> head =
		        splitlines(report(opened("story", 1, "story")));
		std::vector<std::string> tail = alltree("r.htm");
		ASSERT_GE(lines.size(), head.size() + tail.size()) << seed;
		EXPECT_EQ(std::vector<std::string>(lines.begin(),
		                                   lines.begin() + head.size()),
		          head);
		EXPECT_EQ(std::vector<std::string>(lines.end() - tail.size(),
		                                   lines.end()),
		          tail);
		std::string prefix =
		        "  In story\\r.htm, can't find linked file ";
		size_t reports = lines.size() - head.size() - tail.size();
		for (size_t i = head.size(); i < head.size() + reports; i++) {
			const std::string &l = lines[i];
			EXPECT_EQ(l.compare(0, prefix.size(), prefix), 0) << l;
			EXPECT_GT(l.size(), prefix.size() + 1) << l;
			EXPECT_EQ(l.back(), '.') << l;
			EXPECT_EQ(l.find(':'), std::string::npos) << l;
		}
		EXPECT_LE(reports,
		          (size_t)std::count(bytes.begin(), bytes.end(), '='));
		EXPECT_EQ(r.status, 0) << seed;
		EXPECT_EQ(r.signal, 0) << seed;
		removetree(at("story"));
	}
}

// A file reached by climbing out of the tree is opened to see that it is
// there, but never read or catalogued.
TEST_F(e2e, climbout)
{
	tree({{"top.htm", "<img src=never.gif>"},
	      {"one/story/a.htm", "<a href=\"..\\..\\top.htm\"> <img "
	                          "src=../../top.htm>"}});
	// an access time before the modification time moves on any read
	struct timespec times[2] = {{1000000, 0}, {0, UTIME_OMIT}};
	ASSERT_EQ(utimensat(AT_FDCWD, at("top.htm").c_str(), times, 0), 0);
	runresult r = run({"one/story"});
	EXPECT_EQ(r.out, report(opened("one/story", 1, "one/story",
	                               alltree("a.htm"))));
	EXPECT_EQ(r.status, 0);
	struct stat st;
	ASSERT_EQ(stat(at("top.htm").c_str(), &st), 0);
	// Wine's runtime peeks at every file it opens
	if (!foreignhost()) {
		EXPECT_EQ(st.st_atim.tv_sec, 1000000) << "top.htm was read";
	}
}

// A report that cannot be written is no success.
TEST_F(e2e, fulldevice)
{
	tree({{"story/a.htm", "<a href=b.htm>"},
	      {"story/b.htm", std::string(200000, '=')}});
	for (std::vector<std::string> args :
	     {std::vector<std::string>{"story"}, {"-h"}}) {
		runresult r = runplotwalk(root, args, false, 30, "/dev/full");
		EXPECT_EQ(r.status, 1) << args[0];
		EXPECT_EQ(r.signal, 0) << args[0];
		EXPECT_EQ(r.out, "");
	}
}

// A reader that stops early ends the run, by SIGPIPE or with status 1
// when that signal is ignored; what arrived is the report's start.
TEST_F(e2e, pipeclosedearly)
{
	file("a.htm", std::string(1000000, '='));
	std::string full = report(opened(".", 1, ".", equalsreport(".\\a.htm"),
	                                 alltree("a.htm")));
	for (bool ignore : {false, true}) {
		struct sigaction sa = {}, old;
		sa.sa_handler = ignore ? SIG_IGN : SIG_DFL;
		sigaction(SIGPIPE, &sa, &old);
		runresult r = runplotwalk(root, {}, false, 60, "", 4096);
		sigaction(SIGPIPE, &old, nullptr);
		EXPECT_FALSE(r.timedout);
		if (ignore) {
			EXPECT_EQ(r.status, 1);
			EXPECT_EQ(r.signal, 0);
		} else if (foreignhost()) {
			// the emulator ignores SIGPIPE, so the write fails
			EXPECT_EQ(r.status, 1);
		} else {
			EXPECT_EQ(r.signal, SIGPIPE);
		}
		EXPECT_GE(r.out.size(), 4096u);
		EXPECT_LT(r.out.size(), full.size());
		EXPECT_EQ(r.out, full.substr(0, r.out.size()));
	}
}

// Running out of memory or descriptors is never a verdict: with each
// allocation of a run made to fail in turn, then each opening of a file
// or directory, and with descriptors limited, a run that still ends with
// status 0 printed the same report as one that never failed, and one
// that aborts printed, flushed, a start of it.
TEST_F(e2e, resourcefailures)
{
#if defined(__SANITIZE_ADDRESS__)
	GTEST_SKIP() << "the sanitizer's allocator cannot be replaced";
#endif
	if (foreignhost() || getenv("PLOTWALK_COMMAND") != nullptr)
		GTEST_SKIP() << "preloads into this build's binary only";
	// in late, the run's last allocations and openings list a folder for
	// case matching after the line for zz.htm is made: that line must
	// still come out; wide lists more names than a listing first has room
	// for, and more folders than the table of listings first holds
	std::vector<node> nodes = {
	        {"story/a.htm", "<a href=b.htm> <img src=Images/x.gif> "
	                        "<img src=images/y.gif> <img src=nope/z.gif> "
	                        "<a href=c.htm>\r\n"},
	        {"story/B.htm", "<img src=IMAGES/X.GIF> <a href=a.htm>\r\n"},
	        {"story/Images/x.gif", ""},
	        {"late/a.htm", "<a href=zz.htm> <img src=images/y.gif>\r\n"},
	        {"late/Images/x.gif", ""},
	        {"wide/a.htm", ""}};
	for (int i = 0; i < 9; i++) {
		nodes[5].bytes += "<img src=D" + std::to_string(i) + "/X.GIF> ";
		nodes.push_back({"wide/d" + std::to_string(i) + "/x.gif", ""});
	}
	for (int i = 0; i < 300; i++)
		nodes.push_back(
		        {"wide/orphan" + std::to_string(i) + ".htm", ""});
	tree(nodes);
	// a directory that cannot be opened for want of descriptors or
	// memory: the catalogue's, one listed to match letter case on the
	// way to it, and one listed so after a report line is made; each
	// run aborts with what it printed, and never takes the directory
	// for one that does not exist
	const std::vector<std::string> zz =
	        opened("late", 1, "late", {miss("late\\a.htm", "zz.htm")});
	struct {
		const char *arg;
		int open; // the opening that fails
		int error;
		std::vector<std::string> lines; // printed before the abort
	} diropens[] = {
	        {"story", 1, EMFILE, {}}, {"story", 1, ENFILE, {}},
	        {"story", 1, ENOMEM, {}}, {"STORY", 1, EMFILE, {}},
	        {"STORY", 1, ENFILE, {}}, {"STORY", 1, ENOMEM, {}},
	        {"late", 3, EMFILE, zz},  {"late", 3, ENFILE, zz},
	        {"late", 3, ENOMEM, zz},
	};
	setenv("LD_PRELOAD", PLOTWALK_FAILALLOC, 1);
	for (auto &c : diropens) {
		setenv("PLOTWALK_FAILOPEN", std::to_string(c.open).c_str(), 1);
		setenv("PLOTWALK_FAILERRNO", std::to_string(c.error).c_str(),
		       1);
		runresult r = run({c.arg});
		std::string what = std::string(c.arg) + ", opening " +
		                   std::to_string(c.open) + " fails with " +
		                   strerror(c.error);
		EXPECT_EQ(r.signal, SIGABRT) << what;
		EXPECT_EQ(r.out, report(c.lines)) << what;
	}
	unsetenv("PLOTWALK_FAILOPEN");
	unsetenv("PLOTWALK_FAILERRNO");
	unsetenv("LD_PRELOAD");
	std::string countfile = at("count");
	for (const char *dir : {"story", "late", "wide"}) {
		runresult good = run({dir});
		ASSERT_EQ(good.status, 0);
		auto check = [&](const runresult &r, const std::string &what) {
			if (r.status == 0 && r.signal == 0) {
				EXPECT_EQ(r.out, good.out) << what;
				return;
			}
			EXPECT_EQ(r.signal, SIGABRT) << what;
			// the banner at least, printed before anything is
			// opened
			EXPECT_GE(r.out.size(), report({}).size()) << what;
			EXPECT_EQ(r.out, good.out.substr(0, r.out.size()))
			        << what;
		};
		// one descriptor, or two
		for (int nofile : {1, 4})
			check(runplotwalk(root, {dir}, false, 30, "", 0,
			                  nofile),
			      std::string(dir) + " nofile " +
			              std::to_string(nofile));
		setenv("PLOTWALK_FAILALLOC_COUNT", countfile.c_str(), 1);
		setenv("LD_PRELOAD", PLOTWALK_FAILALLOC, 1);
		for (int opens = 0; opens < 2; opens++) {
			const char *var = opens ? "PLOTWALK_FAILOPEN"
			                        : "PLOTWALK_FAILALLOC";
			runresult aborted;
			for (unsigned long n = 1; n < 1000; n++) {
				unlink(countfile.c_str());
				setenv(var, std::to_string(n).c_str(), 1);
				runresult r = run({dir});
				check(r, std::string(dir) + " " + var + "=" +
				                 std::to_string(n));
				if (r.signal != 0)
					aborted = r;
				unsigned long count[2];
				std::istringstream in(readfile(countfile));
				if (in >> count[0] >> count[1] &&
				    count[opens] < n)
					break;
			}
			unsetenv(var);
			EXPECT_EQ(aborted.signal, SIGABRT) << dir << " " << var;
			size_t zz = good.out.find("zz.htm.\r\n");
			if (zz != std::string::npos) {
				EXPECT_EQ(aborted.out.substr(0, zz),
				          good.out.substr(0, zz))
				        << var;
			}
		}
		unsetenv("LD_PRELOAD");
		unsetenv("PLOTWALK_FAILALLOC_COUNT");
	}
}
