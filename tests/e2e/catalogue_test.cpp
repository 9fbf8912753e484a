// Building the catalogue from a real directory: which names count, the
// sort, the root choice, the limits and the directories that fail.
#include "harness.h"

#include <stdio.h>

static const std::vector<std::string> noroot = {
        "  The chosen root file name is not in the directory."};

static std::string numbered(int i)
{
	char buf[16];
	snprintf(buf, sizeof buf, "p%04d.htm", i);
	return buf;
}

// count empty pages s/p0000.htm, s/p0001.htm, ...
static std::vector<node> pages(int count)
{
	std::vector<node> v;
	for (int i = 0; i < count; i++)
		v.push_back({"s/" + numbered(i), ""});
	return v;
}

static std::vector<std::string> orphans(int from, int to)
{
	std::vector<std::string> v;
	for (int i = from; i < to; i++)
		v.push_back(numbered(i));
	return v;
}

static const std::string name127 = std::string(123, 'n') + ".htm";
static const std::string name128 = std::string(124, 'n') + ".htm";

static const std::vector<runcase> cataloguecases = {
        {"no_html",
         {{"e/readme.txt", ""}, {"e/page.Htm", ""}, {"e/a.hTm", ""}},
         {"e"},
         opened("e", 0, "e", noroot),
         1},
        {"empty_dir", {{"e/", ""}}, {"e"}, opened("e", 0, "e", noroot), 1},
        {"byte_order",
         {{"s/alpha.htm", ""}, {"s/Zeta.htm", ""}},
         {"s"},
         opened("s", 2, "s", parttree(1, "Zeta.htm", {"alpha.htm"}))},
        {"marks",
         {{"s/page.html.bak", ""},
          {"s/OLD.HTM~", ""},
          {"s/page.Htm", ""},
          {"s/x.htmL", ""}},
         {"s"},
         opened("s", 3, "s",
                parttree(1, "OLD.HTM~", {"page.html.bak", "x.htmL"}))},
        // dot files and editor backups are HTML names, and a dot sorts
        // before capitals
        {"dot_names",
         {{"s/begin.htm~", ""},
          {"s/A.htm", ""},
          {"s/.cave.htm.swp", ""},
          {"s/.b.htm", "<a href=.CAVE.HTM.SWP>"},
          {"s/Cave.Htm", ""},
          {"s/.hidden", ""}},
         {"s"},
         opened("s", 4, "s", parttree(2, ".b.htm", {"A.htm", "begin.htm~"}))},
        {"subdir_linked",
         {{"s/a.htm", "<a href=x.htm>"}, {"s/x.htm/", ""}},
         {"s"},
         opened("s", 2, "s", {"", "  Can't open s\\x.htm"}),
         1},
        {"subdir_unlinked",
         {{"s/a.htm", ""}, {"s/y.htm/", ""}},
         {"s"},
         opened("s", 2, "s", parttree(1, "a.htm", {"y.htm"}))},
        {"files1023",
         pages(1023),
         {"s"},
         opened("s", 1023, "s", parttree(1, "p0000.htm", orphans(1, 1023)))},
        {"files1024",
         pages(1024),
         {"s"},
         {"  Unable to process more than 1023 HTML files"},
         1},
        {"name127",
         {{"s/a.htm", ""}, {"s/" + name127, ""}},
         {"s"},
         opened("s", 2, "s", parttree(1, "a.htm", {name127}))},
        {"name128",
         {{"s/a.htm", ""}, {"s/" + name128, ""}},
         {"s"},
         {"  Unable to process file names longer than 127 characters"},
         1},
        {"long_plain_names",
         {{"s/a.htm", ""},
          {"s/" + std::string(200, 'x'), ""},
          {"s/" + std::string(255, 'y'), ""}},
         {"s"},
         opened("s", 1, "s", alltree("a.htm"))},
        {"missing",
         {},
         {"nosuch"},
         {"  The directory nosuch doesn't exist.  Aborting."},
         1},
        {"missing_parent",
         {},
         {"no/such/"},
         {"  The directory no/such doesn't exist.  Aborting."},
         1},
        {"regular_file",
         {{"notes.txt", ""}},
         {"notes.txt"},
         {"  Unable to read directory notes.txt.  Aborting."},
         1},
        {"regular_file_slash",
         {{"notes.txt", ""}},
         {"notes.txt/"},
         {"  Unable to read directory notes.txt.  Aborting."},
         1},
        // Windows resolves the path as text before it looks at the disk
        {"through_file",
         {{"notes.txt", ""}},
         {"notes.txt/sub"},
         {"  The directory notes.txt/sub doesn't exist.  Aborting."},
         1},
        {"file_two_slashes",
         {{"notes.txt", ""}},
         {"notes.txt//"},
         {"  The directory notes.txt/ doesn't exist.  Aborting."},
         1},
        {"dots_as_text",
         {{"story/a.htm", "<img src=pics/x.gif/../y.gif> <img src=pics/x"
                          ".gif/> <img src=\"pics/x.gif. \">"},
          {"story/pics/y.gif", ""},
          {"story/pics/x.gif", ""}},
         {"nosuch/../story."},
         opened("nosuch/../story.", 1, "nosuch/../story.",
                {"  In nosuch/../story.\\a.htm, can't find linked file "
                 "nosuch\\..\\story.\\pics\\x.gif\\."}) +
                 alltree("a.htm")},
        {"other_case",
         {{"story/a.htm", "<a href=missing.htm>"}},
         {"STORY"},
         opened("STORY", 1, "STORY",
                {"  In STORY\\a.htm, can't find linked file missing.htm."}) +
                 alltree("a.htm")},
        {"other_case_slash",
         {{"story/a.htm", ""}},
         {"Story/"},
         opened("Story/", 1, "Story", alltree("a.htm"))},
        {"other_case_backslash",
         {{"story/a.htm", ""}},
         {"sTORY\\"},
         opened("sTORY\\", 1, "sTORY", alltree("a.htm"))},
        {"linked_dir",
         {{"real/a.htm", ""}, {"s", "real", nodekind::link}},
         {"s"},
         opened("s", 1, "s", alltree("a.htm")),
         0,
         "symbolic links"},
        {"dangling_link",
         {{"s", "gone", nodekind::link}},
         {"s"},
         {"  Unable to read directory s.  Aborting."},
         1,
         "symbolic links"},
};

class cataloguerun : public runcases {};

TEST_P(cataloguerun, run)
{
	check();
}

INSTANTIATE_TEST_SUITE_P(directories, cataloguerun,
                         ::testing::ValuesIn(cataloguecases), casename);
