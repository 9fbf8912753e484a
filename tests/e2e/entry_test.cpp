// Banner, help requests and the refused arguments.
#include "harness.h"

#include <stdio.h>
#include <string.h>
#include <sys/utsname.h>

static const std::vector<std::string> helplines = {
        "Usage 1: plotwalk",
        "Usage 2: plotwalk directory",
        "Usage 3: plotwalk root-file-name",
        "",
        "This program verifies a hyperfiction tree, starting with a "
        "\"root\" file.",
        "For Usage 1, the current directory will be used, and the first "
        ".htm or .html",
        "file will be used as the root file name.",
        "For Usage 2, any argument that doesn't end in .htm or .html will "
        "be assumed",
        "to be a directory, and the first .htm or .html file in that "
        "directory",
        "will be used as the root file name.",
        "For Usage 3, the .htm or .html file given as the argument will be "
        "used as the",
        "root file name.  If no directory is specified within this name, "
        "the current",
        "directory will be assumed.",
};

class entry : public e2e,
              public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(entry, printshelp)
{
	runresult r = run(GetParam());
	EXPECT_EQ(r.out, report(helplines));
	EXPECT_EQ(r.status, 0);
}

INSTANTIATE_TEST_SUITE_P(
        keywords, entry,
        ::testing::Values(std::vector<std::string>{"h"},
                          std::vector<std::string>{"help"},
                          std::vector<std::string>{"-h"},
                          std::vector<std::string>{"-help"},
                          std::vector<std::string>{"?"},
                          std::vector<std::string>{"-?"},
                          std::vector<std::string>{"story", "a.htm"},
                          std::vector<std::string>{"", ""},
                          std::vector<std::string>{"a", "b", "c"}));

static const std::string long255(255, 'd');

static const std::vector<runcase> entrycases = {
        // only the exact keywords ask for help
        {"upper_h",
         {},
         {"-H"},
         {"  The directory -H doesn't exist.  Aborting."},
         1},
        {"capital_help",
         {},
         {"Help"},
         {"  The directory Help doesn't exist.  Aborting."},
         1},
        {"help_dir",
         {{"Help/a.htm", ""}},
         {"Help"},
         opened("Help", 1, "Help", alltree("a.htm"))},
        {"empty",
         {},
         {""},
         {"  Unable to use that argument.  For help, use 'plotwalk -h'."},
         1},
        {"arg255",
         {{long255 + "/a.htm", ""}},
         {long255},
         opened(long255, 1, long255, alltree("a.htm")),
         0,
         "the full path passes MAX_PATH on Windows"},
        {"arg256",
         {{long255 + "/a.htm", ""}},
         {long255 + "/"},
         {"  Unable to use that argument.  For help, use 'plotwalk -h'."},
         1},
        {"file255",
         {{std::string(249, 'f') + "/a.htm", ""}},
         {std::string(249, 'f') + "/a.htm"},
         opened(std::string(249, 'f') + "/a.htm", 1, std::string(249, 'f'),
                alltree("a.htm")),
         0,
         "the full path passes MAX_PATH on Windows"},
        {"file256",
         {{std::string(250, 'f') + "/a.htm", ""}},
         {std::string(250, 'f') + "/a.htm"},
         {"  Unable to use that argument.  For help, use 'plotwalk -h'."},
         1},
        {"arg300",
         {},
         {std::string(300, 'x')},
         {"  Unable to use that argument.  For help, use 'plotwalk -h'."},
         1},
};

class entryrun : public runcases {};

TEST_P(entryrun, run)
{
	check();
}

INSTANTIATE_TEST_SUITE_P(arguments, entryrun, ::testing::ValuesIn(entrycases),
                         casename);

// Linux from 5.18 on starts a program given no arguments at all with an
// empty program name instead.
static bool kernelfillsargv()
{
	struct utsname u;
	int major = 0, minor = 0;

	if (uname(&u) != 0 || strcmp(u.sysname, "Linux") != 0)
		return false;
	sscanf(u.release, "%d.%d", &major, &minor);
	return major > 5 || (major == 5 && minor >= 18);
}

// A start without even a program name cannot be resolved.
TEST_F(e2e, noargumentvector)
{
	if (foreignhost())
		GTEST_SKIP() << "the command prefix needs an argument vector";
	if (kernelfillsargv())
		GTEST_SKIP() << "the kernel supplies a program name";
	file("a.htm", "");
	runresult r = runplotwalk(root, {}, true);
	if (r.status == 127 && r.out.empty())
		GTEST_SKIP() << "the host refuses an empty argument vector";
	EXPECT_EQ(
	        r.out,
	        report({"  Unable to proceed.  For help, use 'plotwalk -h'."}));
	EXPECT_EQ(r.status, 1);
}
