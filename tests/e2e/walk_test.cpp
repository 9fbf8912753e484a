// Walking real story trees: references cut at equals signs, probes of
// paths, the passes over the catalogue and the verdict.
#include "harness.h"

static std::string miss(const std::string &page, const std::string &ref)
{
	return "  In " + page + ", can't find linked file " + ref + ".";
}

// Each of lines ended by a line feed.
static std::string page(const std::vector<std::string> &lines)
{
	std::string s;
	for (const std::string &l : lines)
		s += l + "\n";
	return s;
}

static std::vector<node> withcrlf(std::vector<node> nodes)
{
	for (node &n : nodes) {
		std::string s;
		for (char c : n.bytes)
			s += c == '\n' ? std::string("\r\n")
			               : std::string(1, c);
		n.bytes = s;
	}
	return nodes;
}

static const std::string a = "story\\a.htm";

// a.htm links to b.htm, a missing pics/x.gif and title.gif by a bare name.
static const std::vector<node> story = {
        {"story/a.htm", "<html><body>\n<a href=\"b.htm\">next</a>\n"
                        "<img src=\"pics/x.gif\">\n<img src=title.gif>\n"
                        "</body></html>\n"},
        {"story/b.htm", "<a href=\"a.htm\">back</a>\n"},
        {"story/c.htm", "<p>not linked</p>\n"},
        {"story/title.gif", "GIF89a"},
};
static const std::vector<std::string> storyreport =
        opened("story", 3, "story",
               {miss(a, "story\\pics\\x.gif"), miss(a, "title.gif")},
               parttree(2, "a.htm", {"c.htm"}));

// Lines longer than 255 characters arrive in pieces of 255.
static const std::string longlines =
        std::string(251, 'x') + "=b.htm =c.htm\n" +     // cut to "b.h"
        std::string(250, 'x') + "=\"d.htm\" =e.htm\n" + // quote left open
        std::string(249, 'x') + "=f.htm =g.htm\n" +     // ends the piece
        std::string(254, 'x') + "=h.htm\n" +            // = ends the piece
        std::string(508, 'x') + "=i.htm\n";             // "i" in piece two
static const std::vector<node> longpages = {
        {"story/a.htm", longlines}, {"story/b.htm", ""}, {"story/c.htm", ""},
        {"story/d.htm", ""},        {"story/e.htm", ""}, {"story/f.htm", ""},
        {"story/g.htm", ""},        {"story/h.htm", ""}, {"story/i.htm", ""},
};

// A CR LF at the end of 255 characters does not count towards the piece.
static const std::string crlfedge = std::string(249, 'x') + "=b.htm\r\n" +
                                    "=c.htm\r\n" + std::string(250, 'x') +
                                    "=d.htm\r\n";

// Joined paths beside the 255-character limit.
static const std::string longdir(200, 'd');
static const std::string name104 = std::string(96, 'r') + ".gif";
static const std::string name50 = std::string(46, 'q') + ".gif";
static const std::string name51 = std::string(47, 'q') + ".gif";

static const std::vector<runcase> walkcases = {
        {"complete", story, {"story"}, storyreport},
        {"complete_crlf", withcrlf(story), {"story"}, storyreport},
        {"quoted_unquoted",
         {{"story/a.htm", "<a href=\"b.htm\"> <a href=c.htm>"},
          {"story/b.htm", ""},
          {"story/c.htm", ""}},
         {"story"},
         opened("story", 3, "story", alltree("a.htm"))},
        {"letter_case",
         {{"story/a.htm", "<a href=B.HTM> <a href=\"C.hTm\">"},
          {"story/b.htm", ""},
          {"story/c.htm", ""}},
         {"story"},
         opened("story", 3, "story", alltree("a.htm"))},
        // values met again, with other ends, other cases, longer names
        // that share their first bytes, and names that are missing
        {"repeated_values",
         {{"story/a.htm",
           "=chapter10.htm =chapter1.htm =chapter10.htm>=chapter1.htm\n"
           "=CHAPTER1.HTM =nope.htm\t=nope.htm =chapter1.htmx "
           "=chapter1.htm=x"},
          {"story/chapter1.htm", ""},
          {"story/chapter2.htm", ""}},
         {"story"},
         opened("story", 3, "story",
                {miss(a, "chapter10.htm"), miss(a, "chapter10.htm"),
                 miss(a, "nope.htm"), miss(a, "nope.htm"),
                 miss(a, "chapter1.htmx"), miss(a, "chapter1.htm=x")},
                parttree(2, "a.htm", {"chapter2.htm"}))},
        {"colons",
         {{"story/a.htm",
           page({"<a href=\"http://example.com/b.htm\">",
                 "<a href=mailto:me@example.com>",
                 "<a href=\"C:\\story\\b.htm\">", "<a href=b.htm:>"})},
          {"story/b.htm", ""}},
         {"story"},
         opened("story", 2, "story", parttree(1, "a.htm", {"b.htm"}))},
        {"colon_searched_again",
         {{"story/a.htm", "<a href=\"http://h/?a=b\">"}},
         {"story"},
         opened("story", 1, "story", {miss(a, "b\"")}, alltree("a.htm"))},
        {"probes",
         {{"story/a.htm",
           page({"<img src=\"pics/none.gif\">", "<img src=\"pics/x.gif\">",
                 "<img src=PICS/X.GIF>", "<a href=\"./b.htm\">",
                 "<a href=\"/top.htm\">", "<img src=\"/title.gif\">",
                 "<img src=pics\\none.gif>", "<img src=pi\"cs/q.gif>"})},
          {"story/b.htm", ""},
          {"story/pics/x.gif", ""},
          {"story/title.gif", ""}},
         {"story"},
         opened("story", 2, "story",
                {miss(a, "story\\pics\\none.gif"), miss(a, "story\\\\top.htm"),
                 miss(a, "story\\pics\\none.gif"),
                 miss(a, "story\\pics\\q.gif")},
                parttree(1, "a.htm", {"b.htm"}))},
        // names that begin with a dot are names, bare or in a path
        {"dot_targets",
         {{"story/a.htm", "<a href=.b.htm> <a href=..c.htm> "
                          "<img src=pics/.x.gif> <img src=PICS/.X.GIF> "
                          "<img src=\"pics/..y.gif\"> <img src=.pics/z.gif> "
                          "<img src=pics/.none.gif>"},
          {"story/.b.htm", ""},
          {"story/..c.htm", ""},
          {"story/.d.htm", ""},
          {"story/pics/.x.gif", ""},
          {"story/pics/..y.gif", ""},
          {"story/.pics/z.gif", ""}},
         {"story/a.htm"},
         opened("story/a.htm", 4, "story", {miss(a, "story\\pics\\.none.gif")},
                parttree(3, "a.htm", {".d.htm"}))},
        {"width",
         {{"story/x.htm", "<img src=a.gif width=100>"}, {"story/a.gif", ""}},
         {"story"},
         opened("story", 1, "story",
                {miss("story\\x.htm", "a.gif"), miss("story\\x.htm", "100")},
                alltree("x.htm"))},
        {"query",
         {{"story/a.htm", "<a href=\"x?a=b\">\n<a href=x?a=b>\n"}},
         {"story"},
         opened("story", 1, "story",
                {miss(a, "x?a=b"), miss(a, "b\""), miss(a, "x?a=b")},
                alltree("a.htm"))},
        {"empty_quoted",
         {{"story/a.htm", "<a href=\"\" title=\"x\">"}},
         {"story"},
         opened("story", 1, "story", {miss(a, "\" title="), miss(a, "x")},
                alltree("a.htm"))},
        {"empty_value",
         {{"story/a.htm", "<img width=> <a href=b.htm>\n<a href=c.htm>\n"},
          {"story/b.htm", ""},
          {"story/c.htm", ""}},
         {"story"},
         opened("story", 3, "story", parttree(2, "a.htm", {"b.htm"}))},
        {"open_quote",
         {{"story/a.htm", "<a href=\"b.htm> <a href=c.htm>\n<a href=d.htm>\n"},
          {"story/b.htm", ""},
          {"story/c.htm", ""},
          {"story/d.htm", ""}},
         {"story"},
         opened("story", 4, "story", parttree(2, "a.htm", {"b.htm", "c.htm"}))},
        {"long_lines",
         longpages,
         {"story"},
         opened("story", 9, "story", {miss(a, "b.h"), miss(a, "i")},
                parttree(5, "a.htm", {"b.htm", "d.htm", "h.htm", "i.htm"}))},
        {"crlf_long_line",
         {{"story/a.htm", crlfedge},
          {"story/b.htm", ""},
          {"story/c.htm", ""},
          {"story/d.htm", ""}},
         {"story"},
         opened("story", 4, "story", {miss(a, "d.ht")},
                parttree(3, "a.htm", {"d.htm"}))},
        {"self_link",
         {{"story/a.htm", "<a href=a.htm><img src=missing.gif><a href=b.htm>"},
          {"story/b.htm", "<a href=b.htm><a href=a.htm>"}},
         {"story"},
         opened("story", 2, "story", {miss(a, "missing.gif")},
                alltree("a.htm"))},
        {"later_pass",
         {{"story/a.htm", "<img src=za.gif>"},
          {"story/b.htm", "<a href=a.htm><a href=c.htm>"},
          {"story/c.htm", "<img src=zc.gif>"}},
         {"story/b.htm"},
         opened("story/b.htm", 3, "story",
                {miss("story\\c.htm", "zc.gif"), miss(a, "za.gif")},
                alltree("b.htm"))},
        {"orphans",
         {{"story/B.htm", "<a href=c.htm>"},
          {"story/D.htm", ""},
          {"story/a.htm", ""},
          {"story/c.htm", ""},
          {"story/z.htm", ""}},
         {"story"},
         opened("story", 5, "story",
                parttree(2, "B.htm", {"D.htm", "a.htm", "z.htm"}))},
        {"one_page_tree",
         {{"story/a.htm", ""}, {"story/b.htm", ""}, {"story/c.htm", ""}},
         {"story"},
         opened("story", 3, "story", parttree(1, "a.htm", {"b.htm", "c.htm"}))},
        {"only_root",
         {{"story/a.htm", "<p>no links</p>"}},
         {"story"},
         opened("story", 1, "story", alltree("a.htm"))},
        {"catalogued_dir",
         {{"story/a.htm", "<a href=x.htm><img src=none.gif><a href=b.htm>"},
          {"story/b.htm", "<img src=zb.gif>"},
          {"story/c.htm", ""},
          {"story/x.htm/", ""}},
         {"story"},
         opened("story", 4, "story",
                {miss(a, "none.gif"), miss("story\\b.htm", "zb.gif"), "",
                 "  Can't open story\\x.htm"}),
         1},
        {"fifo_linked",
         {{"story/a.htm", "<a href=f.htm>"},
          {"story/f.htm", "", nodekind::fifo}},
         {"story"},
         opened("story", 2, "story", {"", "  Can't open story\\f.htm"}),
         1,
         "FIFOs"},
        {"fifo_root",
         {{"story/a.htm", ""}, {"story/f.htm", "", nodekind::fifo}},
         {"story/f.htm"},
         opened("story/f.htm", 2, "story", {"", "  Can't open story\\f.htm"}),
         1,
         "FIFOs"},
        {"fifo_probed",
         {{"story/a.htm", "<a href=\"./f.htm\"><img src=pics/p.gif>"},
          {"story/f.htm", "", nodekind::fifo},
          {"story/pics/p.gif", "", nodekind::fifo}},
         {"story"},
         opened("story", 2, "story",
                {miss(a, "story\\.\\f.htm"), miss(a, "story\\pics\\p.gif")},
                parttree(1, "a.htm", {"f.htm"})),
         0,
         "FIFOs"},
        {"linked_page",
         {{"story/a.htm", "<a href=b.htm>"},
          {"elsewhere/b.htm", "<img src=zb.gif>"},
          {"story/b.htm", "../elsewhere/b.htm", nodekind::link}},
         {"story"},
         opened("story", 2, "story", {miss("story\\b.htm", "zb.gif")},
                alltree("a.htm")),
         0,
         "symbolic links"},
        {"dangling_page",
         {{"story/a.htm", "<a href=b.htm>"},
          {"story/b.htm", "gone.htm", nodekind::link}},
         {"story"},
         opened("story", 2, "story", {"", "  Can't open story\\b.htm"}),
         1,
         "symbolic links"},
        {"root_case",
         {{"story/a.htm", ""},
          {"story/start.htm", "<a href=a.htm><img src=s.gif>"}},
         {"story/START.HTM"},
         opened("story/START.HTM", 2, "story",
                {miss("story\\start.htm", "s.gif")}, alltree("START.HTM"))},
        {"root_missing",
         {{"story/a.htm", ""}},
         {"story/none.htm"},
         opened("story/none.htm", 1, "story",
                {"  The chosen root file name is not in the directory."}),
         1},
        {"slash_in_dir",
         {{"my/story/a.htm", "<img src=\"pics/x.gif\">"}},
         {"my/story"},
         opened("my/story", 1, "my/story",
                {"  In my/story\\a.htm, can't find linked file "
                 "my\\story\\pics\\x.gif."},
                alltree("a.htm"))},
        {"case_twins",
         {{"story/A.htm", "<a href=a.htm> <img src=za.gif> <a href=b.htm>"},
          {"story/a.htm", "<img src=never.gif>"},
          {"story/b.htm", "<a href=a.htm>"}},
         {"story/a.htm"},
         opened("story/a.htm", 3, "story", {miss("story\\A.htm", "za.gif")},
                parttree(2, "a.htm", {"a.htm"}))},
        {"joined_limit",
         {{longdir + "/a.htm",
           "<img src=\"sub/" + name104 + "\">\n<img src=\"sub/" + name50 +
                   "\">\n<img src=\"sub/" + name51 + "\">\n"},
          {longdir + "/sub/" + name104, ""},
          {longdir + "/sub/" + name50, ""},
          {longdir + "/sub/" + name51, ""}},
         {longdir},
         opened(longdir, 1, longdir,
                {miss(longdir + "\\a.htm", longdir + "\\sub\\" + name104),
                 miss(longdir + "\\a.htm", longdir + "\\sub\\" + name51)},
                alltree("a.htm"))},
};

class walkrun : public runcases {};

TEST_P(walkrun, run)
{
	check();
}

INSTANTIATE_TEST_SUITE_P(trees, walkrun, ::testing::ValuesIn(walkcases),
                         casename);
