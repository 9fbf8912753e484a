// The argument as a directory or a root file: splits, trailing
// separators and the names that cannot be read.
#include "harness.h"

static const std::vector<std::string> noroot = {
        "  The chosen root file name is not in the directory."};
static const std::vector<std::string> noread = {
        "  Unable to read directory .  Aborting."};

// stories/start.htm reports one missing image, which shows the page path.
static const std::vector<node> stories = {
        {"stories/start.htm", "<img src=x.gif>"}};
static std::vector<std::string> instories(const std::string &dir)
{
	return {"  In " + dir + "\\start.htm, can't find linked file x.gif."};
}

static const std::vector<node> twostories = {
        {"stories/a.htm", ""}, {"stories/start.htm", "<img src=x.gif>"}};

static const std::vector<runcase> targetcases = {
        {"none",
         {{"a.htm", "<img src=\"pics/x.gif\">"}},
         {},
         opened(".", 1, ".",
                {"  In .\\a.htm, can't find linked file .\\pics\\x.gif."}) +
                 alltree("a.htm")},
        {"dir",
         stories,
         {"stories"},
         opened("stories", 1, "stories",
                instories("stories") + alltree("start.htm"))},
        {"dir_slash",
         stories,
         {"stories/"},
         opened("stories/", 1, "stories",
                instories("stories") + alltree("start.htm"))},
        {"dir_backslash",
         stories,
         {"stories\\"},
         opened("stories\\", 1, "stories",
                instories("stories") + alltree("start.htm"))},
        {"dir_two_slashes",
         stories,
         {"stories//"},
         opened("stories//", 1, "stories/",
                instories("stories/") + alltree("start.htm"))},
        {"file_backslash",
         twostories,
         {"stories\\start.htm"},
         opened("stories\\start.htm", 2, "stories",
                instories("stories") + parttree(1, "start.htm", {"a.htm"}))},
        {"file_slash",
         twostories,
         {"stories/start.htm"},
         opened("stories/start.htm", 2, "stories",
                instories("stories") + parttree(1, "start.htm", {"a.htm"}))},
        {"file_alone",
         {{"a.htm", ""}, {"start.htm", "<img src=x.gif>"}},
         {"start.htm"},
         opened("start.htm", 2, ".",
                instories(".") + parttree(1, "start.htm", {"a.htm"}))},
        {"file_two_dirs",
         {{"a/b/start.htm", "<img src=x.gif>"}, {"a/b/c.htm", ""}},
         {"a/b/start.htm"},
         opened("a/b/start.htm", 2, "a/b",
                instories("a/b") + parttree(1, "start.htm", {"c.htm"}))},
        {"file_two_dirs_backslash",
         {{"a/b/start.htm", "<img src=x.gif>"}, {"a/b/c.htm", ""}},
         {"a\\b\\start.htm"},
         opened("a\\b\\start.htm", 2, "a\\b",
                instories("a\\b") + parttree(1, "start.htm", {"c.htm"}))},
        // a root that begins with a dot is no root marker, though it
        // comes after another dot name
        {"dot_root",
         {{".a.htm", ""}, {".start.htm", "<img src=x.gif>"}},
         {".start.htm"},
         opened(".start.htm", 2, ".",
                {"  In .\\.start.htm, can't find linked file x.gif."},
                parttree(1, ".start.htm", {".a.htm"}))},
        {"dot_root_dir",
         {{"s/.a.htm", ""}, {"s/.start.htm", "<img src=x.gif>"}},
         {"./s/.start.htm"},
         opened("./s/.start.htm", 2, "./s",
                {"  In ./s\\.start.htm, can't find linked file x.gif."},
                parttree(1, ".start.htm", {".a.htm"}))},
        {"slash_wins",
         {{"a/b/c.htm", ""}},
         {"a\\b/c.htm"},
         opened("a\\b/c.htm", 1, "a\\b", alltree("c.htm"))},
        {"backslash_in_root",
         {{"a/a.htm", ""}},
         {"a/b\\c.htm"},
         opened("a/b\\c.htm", 1, "a", noroot),
         1},
        {"root_file", {{"start.htm", ""}}, {"/start.htm"}, noread, 1},
        {"lone_slash", {{"a.htm", ""}}, {"/"}, noread, 1},
        {"lone_backslash", {{"a.htm", ""}}, {"\\"}, noread, 1},
        {"file_slash_end",
         {{"old.htm/a.htm", ""}},
         {"old.htm/"},
         opened("old.htm/", 1, "old.htm", noroot),
         1},
        {"html_in_dir",
         {{"OLD.HTML/x", ""}, {"OLD.HTML/a.htm", ""}},
         {"OLD.HTML/x"},
         opened("OLD.HTML/x", 1, "OLD.HTML", noroot),
         1},
        {"htm_d_dir",
         {{"my.htm.d/a.htm", ""}},
         {"my.htm.d"},
         opened("my.htm.d", 1, ".", {"", "  Can't open .\\my.htm.d"}),
         1},
        {"bare_drive",
         {},
         {"C:"},
         {"  The directory C: doesn't exist.  Aborting."},
         1,
         "a drive letter names a real drive on Windows"},
        {"drive_root",
         {},
         {"C:\\start.htm"},
         {"  The directory C:\\ doesn't exist.  Aborting."},
         1,
         "a drive letter names a real drive on Windows"},
        // the name test is containment, letter for letter in the mark
        {"htmL_file",
         {{"page.htmL", ""}},
         {"page.htmL"},
         opened("page.htmL", 1, ".", alltree("page.htmL"))},
        {"HTMl_file",
         {{"page.HTMl", ""}},
         {"page.HTMl"},
         opened("page.HTMl", 1, ".", alltree("page.HTMl"))},
        {"Htm_dir",
         {{"page.Htm/a.htm", ""}},
         {"page.Htm"},
         opened("page.Htm", 1, "page.Htm", alltree("a.htm"))},
        {"hTML_dir",
         {{"page.hTML/a.htm", ""}},
         {"page.hTML"},
         opened("page.hTML", 1, "page.hTML", alltree("a.htm"))},
};

class targetrun : public runcases {};

TEST_P(targetrun, run)
{
	check();
}

INSTANTIATE_TEST_SUITE_P(arguments, targetrun, ::testing::ValuesIn(targetcases),
                         casename);
