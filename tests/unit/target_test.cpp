// Help requests, target resolution and the HTML name test.
#include "plotwalk.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// argv as main receives it: the program name, then args, then nullptr.
struct argvector {
	std::vector<std::string> words;
	std::vector<char *> ptrs;
	explicit argvector(std::vector<std::string> args, bool noname = false)
	{
		if (!noname)
			words.push_back("plotwalk");
		for (auto &a : args)
			words.push_back(a);
		for (auto &w : words)
			ptrs.push_back(w.data());
		ptrs.push_back(nullptr);
	}
	int argc() const
	{
		return (int)words.size();
	}
	char **argv()
	{
		return ptrs.data();
	}
};

// Runs fn with stdout sent to a temporary file; returns what it printed.
template <typename F> std::string capturestdout(F fn)
{
	fflush(stdout);
	FILE *tmp = tmpfile();
	int saved = dup(1);
	dup2(fileno(tmp), 1);
	fn();
	fflush(stdout);
	dup2(saved, 1);
	close(saved);
	std::string out;
	rewind(tmp);
	for (int c; (c = fgetc(tmp)) != EOF;)
		out += (char)c;
	fclose(tmp);
	return out;
}

class target : public ::testing::Test {
      protected:
	void SetUp() override
	{
		resetstate();
	}
};

} // namespace

TEST(helpme, requests)
{
	const char *helplines[] = {
	        "Usage 1: plotwalk",
	        "Usage 2: plotwalk directory",
	        "Usage 3: plotwalk root-file-name",
	        "",
	        "This program verifies a hyperfiction tree, starting with a "
	        "\"root\" file.",
	        "For Usage 1, the current directory will be used, and the "
	        "first "
	        ".htm or .html",
	        "file will be used as the root file name.",
	        "For Usage 2, any argument that doesn't end in .htm or .html "
	        "will "
	        "be assumed",
	        "to be a directory, and the first .htm or .html file in that "
	        "directory",
	        "will be used as the root file name.",
	        "For Usage 3, the .htm or .html file given as the argument "
	        "will be "
	        "used as the",
	        "root file name.  If no directory is specified within this "
	        "name, "
	        "the current",
	        "directory will be assumed.",
	};
	std::string helptext;
	for (const char *l : helplines)
		helptext += std::string(l) + "\r\n";

	struct {
		std::vector<std::string> args;
		int help;
	} cases[] = {
	        {{"h"}, 1},     {{"help"}, 1},      {{"-h"}, 1},
	        {{"-help"}, 1}, {{"?"}, 1},         {{"-?"}, 1},
	        {{}, 0},        {{"-H"}, 0},        {{"HELP"}, 0},
	        {{"Help"}, 0},  {{"-Help"}, 0},     {{"H"}, 0},
	        {{"help "}, 0}, {{" -h"}, 0},       {{"--help"}, 0},
	        {{"/?"}, 0},    {{"hh"}, 0},        {{""}, 0},
	        {{"story"}, 0}, {{"start.htm"}, 0}, {{"story", "start.htm"}, 1},
	        {{"", ""}, 1},  {{"-h", "-h"}, 1},  {{"a", "b", "c"}, 1},
	};
	for (auto &c : cases) {
		argvector av(c.args);
		int r = -1;
		std::string out = capturestdout(
		        [&] { r = helpme(av.argc(), av.argv()); });
		std::string what = c.args.empty() ? "(none)" : c.args[0];
		EXPECT_EQ(r, c.help) << what << ", count " << av.argc();
		EXPECT_EQ(out, c.help ? helptext : "") << what;
	}
}

TEST_F(target, resolution)
{
	struct {
		const char *arg; // nullptr: no argument
		const char *fullname, *dirname, *rootname;
	} cases[] = {
	        {nullptr, ".", ".", "."},
	        {"stories", "stories", "stories", "."},
	        {"stories/", "stories/", "stories", "."},
	        {"stories\\", "stories\\", "stories", "."},
	        {"stories\\start.htm", "stories\\start.htm", "stories",
	         "start.htm"},
	        {"start.htm", "start.htm", ".", "start.htm"},
	        {"C:\\start.htm", "C:\\start.htm", "C:\\", "start.htm"},
	        {"C:/x.htm", "C:/x.htm", "C:/", "x.htm"},
	        {"9:/x.htm", "9:/x.htm", "9:/", "x.htm"},
	        {"/start.htm", "/start.htm", "", "start.htm"},
	        {"/", "/", "", "."},
	        {"\\", "\\", "", "."},
	        {"old.htm/", "old.htm/", "old.htm", ""},
	        {"C:", "C:", "C:", "."},
	        {"C:\\", "C:\\", "C:\\", "."},
	        {"C:/", "C:/", "C:/", "."},
	        {"C:\\\\", "C:\\\\", "C:\\", "."},
	        {"Cx\\", "Cx\\", "Cx", "."},
	        {"C:x\\", "C:x\\", "C:x", "."},
	        {"OLD.HTML/x", "OLD.HTML/x", "OLD.HTML", "x"},
	        {"a/b\\c.htm", "a/b\\c.htm", "a", "b\\c.htm"},
	        {"a\\b/c.htm", "a\\b/c.htm", "a\\b", "c.htm"},
	        {"a\\b\\c.htm", "a\\b\\c.htm", "a\\b", "c.htm"},
	        {"a/b/c.htm", "a/b/c.htm", "a/b", "c.htm"},
	        {".start.htm", ".start.htm", ".", ".start.htm"},
	        {"./.start.htm", "./.start.htm", ".", ".start.htm"},
	        {"my.htm.d", "my.htm.d", ".", "my.htm.d"},
	        {"page.Htm", "page.Htm", "page.Htm", "."},
	        {"page.HTMl", "page.HTMl", ".", "page.HTMl"},
	        {"dir//", "dir//", "dir/", "."},
	        {"dir\\/", "dir\\/", "dir\\", "."},
	        {"-H", "-H", "-H", "."},
	};
	for (const auto &c : cases) {
		resetstate();
		argvector av(c.arg ? std::vector<std::string>{c.arg}
		                   : std::vector<std::string>{});
		resolvetarget(av.argc(), av.argv());
		const char *what = c.arg ? c.arg : "(none)";
		EXPECT_STREQ(fullname, c.fullname) << what;
		EXPECT_EQ(fullnamelen, (int)strlen(c.fullname)) << what;
		EXPECT_STREQ(dirname, c.dirname) << what;
		EXPECT_EQ(dirnamelen, (int)strlen(c.dirname)) << what;
		EXPECT_STREQ(rootname, c.rootname) << what;
	}
}

TEST_F(target, longestargument)
{
	std::string dir(255, 'd'), file = std::string(245, 'd') + "\\start.htm";
	argvector d({dir}), f({file});

	resolvetarget(d.argc(), d.argv());
	EXPECT_EQ(fullname, dir);
	EXPECT_EQ(fullnamelen, 255);
	EXPECT_EQ(dirname, dir);
	EXPECT_STREQ(rootname, ".");

	ASSERT_EQ(file.size(), 255u);
	resolvetarget(f.argc(), f.argv());
	EXPECT_EQ(fullname, file);
	EXPECT_EQ(dirname, std::string(245, 'd'));
	EXPECT_EQ(dirnamelen, 245);
	EXPECT_STREQ(rootname, "start.htm");
}

TEST_F(target, refusals)
{
	const char *unusable =
	        "^  Unable to use that argument\\.  For help, use "
	        "'plotwalk -h'\\.\r\n$";
	const char *noproceed =
	        "^  Unable to proceed\\.  For help, use 'plotwalk -h'\\.\r\n$";
	argvector empty({""}), toolong({std::string(256, 'd')}),
	        toolongfile({std::string(300, 'd') + ".htm"}), none({}, true);

	// the message goes to stdout; send it to stderr for the matcher
	fflush(stdout);
	EXPECT_EXIT(
	        {
		        dup2(2, 1);
		        resolvetarget(empty.argc(), empty.argv());
	        },
	        ::testing::ExitedWithCode(1), unusable);
	EXPECT_EXIT(
	        {
		        dup2(2, 1);
		        resolvetarget(toolong.argc(), toolong.argv());
	        },
	        ::testing::ExitedWithCode(1), unusable);
	EXPECT_EXIT(
	        {
		        dup2(2, 1);
		        resolvetarget(toolongfile.argc(), toolongfile.argv());
	        },
	        ::testing::ExitedWithCode(1), unusable);
	EXPECT_EXIT(
	        {
		        dup2(2, 1);
		        resolvetarget(none.argc(), none.argv());
	        },
	        ::testing::ExitedWithCode(1), noproceed);
}

TEST(ishtmlname, containment)
{
	struct {
		const char *name;
		int html;
	} cases[] = {
	        {"a.htm", 1},
	        {"a.html", 1},
	        {"A.HTM", 1},
	        {"A.HTML", 1},
	        {"page.htmL", 1},
	        {"page.HTMl", 1},
	        {"page.html.bak", 1},
	        {"OLD.HTM~", 1},
	        {"my.htm.d", 1},
	        {"page.Htm", 0},
	        {"page.hTML", 0},
	        {"page.HTm", 0},
	        {"page.hTM", 0},
	        {"page.htx", 0},
	        {"page.ht", 0},
	        {"page.h.tm", 0},
	        {"page,htm", 0},
	        {"pagehtm", 0},
	        {"htm", 0},
	        {".", 0},
	        {"..", 0},
	        {"", 0},
	        {".htm", 1},
	        {".HTML", 1},
	        {"a .htm", 1},
	        {"x.hTm.htm", 1},
	        {".htmx", 1},
	        {"dir.HTM/x", 1},
	};
	for (const auto &c : cases)
		EXPECT_EQ(ishtmlname(c.name) != 0, c.html != 0) << c.name;
}
