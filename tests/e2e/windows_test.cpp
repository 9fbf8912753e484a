// The program on its own platform, run through Wine: drive letters, the
// run-time's wildcard expansion and text-mode streams.
#include "harness.h"

#include <stdlib.h>
#include <unistd.h>

class windows : public e2e {
      protected:
	void SetUp() override
	{
		if (!foreignhost() || getenv("WINEPREFIX") == nullptr)
			GTEST_SKIP()
			        << "runs only through Wine with WINEPREFIX";
		e2e::SetUp();
	}
	// The tree as Wine's Z: drive, which maps the POSIX root, shows it.
	std::string zpath(const std::string &rel) const
	{
		std::string s = "Z:" + at(rel);
		for (char &c : s)
			if (c == '/')
				c = '\\';
		return s;
	}
};

// The temporary tree becomes drive P: of the Wine prefix for one test.
class windowsdrive : public windows {
      protected:
	std::string device;
	void SetUp() override
	{
		windows::SetUp();
		if (IsSkipped() || HasFatalFailure())
			return;
		device = std::string(getenv("WINEPREFIX")) + "/dosdevices/p:";
		unlink(device.c_str());
		makelink(root, device);
	}
	void TearDown() override
	{
		if (!device.empty())
			unlink(device.c_str());
		windows::TearDown();
	}
};

static std::string miss(const std::string &page, const std::string &ref)
{
	return "  In " + page + ", can't find linked file " + ref + ".";
}

// start.htm links to a missing and an existing image and to b.htm.
static const std::vector<node> drivetree = {
        {"start.htm", "<img src=pics/x.gif><img src=\"pics/y.gif\">"
                      "<a href=b.htm>"},
        {"b.htm", "<img src=z.gif>"},
        {"pics/y.gif", ""}};

TEST_F(windowsdrive, driveroot)
{
	tree(drivetree);
	struct {
		std::string arg;
		std::vector<std::string> lines;
		int status;
	} cases[] = {
	        // a drive root keeps its separator, so paths hold two
	        {"P:\\start.htm",
	         opened("P:\\start.htm", 2, "P:\\",
	                {miss("P:\\\\start.htm", "P:\\\\pics\\x.gif"),
	                 miss("P:\\\\b.htm", "z.gif")},
	                alltree("start.htm")),
	         0},
	        {"p:/START.HTM",
	         opened("p:/START.HTM", 2, "p:/",
	                {miss("p:/\\start.htm", "p:\\\\pics\\x.gif"),
	                 miss("p:/\\b.htm", "z.gif")},
	                alltree("START.HTM")),
	         0},
	        {"P:\\",
	         opened("P:\\", 2, "P:\\", {miss("P:\\\\b.htm", "z.gif")},
	                parttree(1, "b.htm", {"start.htm"})),
	         0},
	        // a bare drive is its current directory, here the root
	        {"P:",
	         opened("P:", 2, "P:", {miss("P:\\b.htm", "z.gif")},
	                parttree(1, "b.htm", {"start.htm"})),
	         0},
	        // no separator: a root file name in the current directory
	        {"P:start.htm",
	         opened("P:start.htm", 2, ".",
	                {"  The chosen root file name is not in the "
	                 "directory."}),
	         1},
	        {"Q:\\", {"  The directory Q:\\ doesn't exist.  Aborting."}, 1},
	};
	for (const auto &c : cases) {
		runresult r = run({c.arg});
		EXPECT_EQ(r.out, report(c.lines)) << c.arg;
		EXPECT_EQ(r.status, c.status) << c.arg;
	}
}

// Z: maps the POSIX root; the tree is reached by its absolute path there.
TEST_F(windows, zdrive)
{
	tree({{"story/a.htm", "<a href=b.htm><img src=\"pics/x.gif\">"},
	      {"story/b.htm", ""}});
	std::string dir = zpath("story");
	runresult r = run({dir + "\\A.HTM"});
	EXPECT_EQ(r.out,
	          report(opened(dir + "\\A.HTM", 2, dir,
	                        {miss(dir + "\\a.htm", dir + "\\pics\\x.gif")},
	                        alltree("A.HTM"))));
	EXPECT_EQ(r.status, 0);
}

// The run-time expands wildcards before the program sees its arguments.
TEST_F(windows, wildcards)
{
	tree({{"a.htm", "<a href=b.htm>"}, {"b.htm", ""}, {"s/c.htm", ""}});
	runresult help = run({"-h"});
	runresult both = run({"*.htm"});
	EXPECT_EQ(both.out, help.out) << "two matches give the help text";
	EXPECT_EQ(both.status, 0);

	runresult one = run({"s/*.htm"});
	EXPECT_EQ(one.out, report(opened("s/c.htm", 1, "s", alltree("c.htm"))));
	EXPECT_EQ(one.status, 0);

	// a pattern that matches nothing arrives as it was typed
	runresult none = run({"s/*.html"});
	EXPECT_EQ(none.out,
	          report(opened("s/*.html", 1, "s",
	                        {"  The chosen root file name is not in the "
	                         "directory."})));
	EXPECT_EQ(none.status, 1);
}

// Standard output is a text-mode stream: each CR LF the program writes
// reaches the pipe as CR CR LF.
TEST_F(windows, textmodeoutput)
{
	file("a.htm", "<img src=x.gif>");
	const char *mode = getenv("PLOTWALK_TEXTMODE");
	std::string saved = mode ? mode : "";
	unsetenv("PLOTWALK_TEXTMODE");
	runresult r = run({});
	if (mode != nullptr)
		setenv("PLOTWALK_TEXTMODE", saved.c_str(), 1);
	std::string expected;
	for (char c : report(opened(".", 1, ".", {miss(".\\a.htm", "x.gif")},
	                            alltree("a.htm"))))
		expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
	EXPECT_EQ(r.out, expected);
	EXPECT_EQ(r.status, 0);
}
