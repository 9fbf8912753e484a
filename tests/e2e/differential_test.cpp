// The POSIX build against the Windows build: random trees that can exist
// on both systems, each run through both, the reports compared byte for
// byte with the exit status.  PLOTWALK_DIFF_COMMAND starts the Windows
// build (e.g. "wine plotwalk.exe"); PLOTWALK_DIFF_TREES (300) and
// PLOTWALK_DIFF_SEED (1) choose the trees.
#include "harness.h"

#include <stdlib.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Links that exercise the platform's path rules: both separators, dots
// and '..' as text, trailing dots and blanks, a trailing separator, paths
// through a file, letter case, and values that are no links at all.
// clang-format off
const char *const links[] = {
        "b.htm", "\"B.HTM\"", "c.htm", "C.Htm", "d.html", "nosuch.htm",
        "x.gif", "pics/x.gif", "pics\\x.gif", "PICS/X.GIF", "Pics/y.gif",
        "pics/x.gif/", "pics\\x.gif\\", "pics//x.gif", "pics\\\\y.gif",
        "nosuch/../b.htm", "pics/x.gif/../y.gif", "pics/../pics/y.gif",
        "./pics/./x.gif", ".\\b.htm", "../story/pics/y.gif", "../STORY/b.htm",
        "../../../../../../../../tmp", "pics/x.gif.", "\"pics/x.gif \"",
        "\"pics/x.gif. .\"", "pics./x.gif", "pics../x.gif", "\"pics /x.gif\"",
        "\"pics/x.gif/ \"", "pics/.../x.gif", "pics/.../pics/y.gif",
        "pics\\x.gif...", "pics/x.gif/.", "pics/x.gif/..", "pics/.", "pics",
        "pics/", "/pics/x.gif", "\\b.htm", "notes.txt/x", "notes.txt/",
        "notes.txt", "sub/a.htm", "SUB/A.HTM", "sub", "sub/", "sub./a.htm",
        "nosuch/x.gif", "pics/nosuch.gif", "images/x.gif", "IMAGES/X.GIF",
        "http://host/x.htm", "mailto:a@b", "100", "b.htm#top", "b.htm?x=c.htm",
        "'b.htm'", "\"\"", "\"x", "pics/y.gif.  ",
        "..\\story\\notes.txt\\..\\pics\\y.gif"};
// clang-format on

// Arguments, run from the directory above the story.
// clang-format off
const char *const arguments[] = {
        "story", "story/", "story\\", "story.", "STORY", "Story/.",
        "nosuch/../story", "story/a.htm", "story\\B.HTM", "story/b.htm",
        "story/notes.txt/x/a.htm", "notes.txt/sub", "notes.txt//",
        "story/notes.txt", "./story//", "story/../story", "story/pics",
        "story/pics.", "story/nosuch.htm", "story/sub/../a.htm",
        "story./a.htm"};
// clang-format on

const char *const separators[] = {" ",      "\n", "\r\n", "\r",
                                  "\r\r\n", "><", "\t",   "\x1a"};

std::string linkfragment(std::mt19937 &gen)
{
	static const char *const leads[] = {
	        "<a href=", "<img src=", " x=", "= ", "=", "=\t"};
	std::string s = leads[gen() % 6];
	s += links[gen() % (sizeof links / sizeof *links)];
	return s;
}

std::string page(std::mt19937 &gen)
{
	std::string s;
	int n = gen() % 12;
	for (int i = 0; i < n; i++) {
		int r = gen() % 20;
		if (r == 0)
			// a long line, so that a link may straddle a piece
			s += std::string(200 + gen() % 120, 'w');
		else if (r == 1)
			s += separators[gen() % 8];
		s += linkfragment(gen);
		// Ctrl-Z only now and then, so that most pages read through
		s += separators[gen() % (gen() % 4 ? 7 : 8)];
	}
	return s;
}

// A tree that Windows can hold: ASCII names, none differing only in case
// or ending in a dot or a blank.
std::vector<node> randomtree(std::mt19937 &gen)
{
	static const char *const pages[] = {"a.htm",  "b.htm",    "C.htm",
	                                    "d.html", "E.HTM",    "f.htm.bak",
	                                    "g.HTML", "Index.htm"};
	static const char *const picsnames[] = {"pics", "Pics", "PICS"};
	std::vector<node> nodes = {{"story/", "", nodekind::dir}};
	for (const char *p : pages)
		if (gen() % 3 != 0)
			nodes.push_back({std::string("story/") + p, page(gen)});
	if (gen() % 4 != 0) {
		std::string pics = std::string("story/") + picsnames[gen() % 3];
		nodes.push_back({pics + "/x.gif", "gif"});
		if (gen() % 2)
			nodes.push_back({pics + "/Y.GIF", "gif"});
	}
	if (gen() % 2)
		nodes.push_back({"story/x.gif", "gif"});
	if (gen() % 2)
		nodes.push_back({"story/notes.txt", "notes"});
	if (gen() % 2)
		nodes.push_back({"notes.txt", "notes"});
	if (gen() % 2)
		nodes.push_back({"story/sub/a.htm", page(gen)});
	else if (gen() % 2)
		nodes.push_back({"story/sub/", "", nodekind::dir});
	return nodes;
}

std::string visible(const std::string &s)
{
	std::string v;
	for (unsigned char c : s)
		if (c == '\n')
			v += "\\n\n";
		else if (c < 32 || c > 126)
			v += "\\x" +
			     std::string(1, "0123456789abcdef"[c >> 4]) +
			     "0123456789abcdef"[c & 15];
		else
			v += (char)c;
	return v;
}

// Runs the program through command (empty: this build) in cwd.
runresult runwith(const char *command, const std::string &cwd,
                  const std::vector<std::string> &args)
{
	if (command != nullptr) {
		setenv("PLOTWALK_COMMAND", command, 1);
		setenv("PLOTWALK_TEXTMODE", "1", 1);
	} else {
		unsetenv("PLOTWALK_COMMAND");
		unsetenv("PLOTWALK_TEXTMODE");
	}
	return runplotwalk(cwd, args);
}

} // namespace

class differential : public e2e {};

TEST_F(differential, windowsbuild)
{
	const char *windows = getenv("PLOTWALK_DIFF_COMMAND");
	if (windows == nullptr || *windows == '\0')
		GTEST_SKIP() << "set PLOTWALK_DIFF_COMMAND to run the Windows "
		                "build";
	const char *env = getenv("PLOTWALK_DIFF_TREES");
	int trees = env ? atoi(env) : 300;
	env = getenv("PLOTWALK_DIFF_SEED");
	unsigned seed = env ? (unsigned)strtoul(env, nullptr, 10) : 1;
	env = getenv("PLOTWALK_COMMAND");
	std::string saved = env ? env : "";
	env = getenv("PLOTWALK_TEXTMODE");
	std::string savedmode = env ? env : "";

	std::mt19937 gen(seed);
	int differ = 0;
	for (int t = 0; t < trees && differ < 5; t++) {
		std::string dir = at("t" + std::to_string(t));
		std::vector<node> nodes = randomtree(gen);
		makedir(dir);
		maketree(dir, nodes);
		std::vector<std::string> args;
		if (gen() % 8 != 0)
			args.push_back(arguments[gen() % (sizeof arguments /
			                                  sizeof *arguments)]);
		std::string cwd = args.empty() ? dir + "/story" : dir;
		runresult posix = runwith(nullptr, cwd, args);
		runresult win = runwith(windows, cwd, args);
		if (posix.out == win.out && posix.status == win.status &&
		    posix.signal == 0) {
			removetree(dir);
			continue;
		}
		differ++;
		std::string shown;
		for (const node &n : nodes)
			shown += n.path +
			         (n.kind == nodekind::dir
			                  ? "\n"
			                  : ":\n" + visible(n.bytes) + "\n");
		ADD_FAILURE()
		        << "seed " << seed << ", tree " << t << " in " << dir
		        << ", argument "
		        << (args.empty() ? "(none, in story)" : args[0]) << "\n"
		        << shown << "--- POSIX, status " << posix.status
		        << ", signal " << posix.signal << ":\n"
		        << visible(posix.out) << "--- Windows, status "
		        << win.status << ":\n"
		        << visible(win.out);
	}
	if (saved.empty())
		unsetenv("PLOTWALK_COMMAND");
	else
		setenv("PLOTWALK_COMMAND", saved.c_str(), 1);
	if (savedmode.empty())
		unsetenv("PLOTWALK_TEXTMODE");
	else
		setenv("PLOTWALK_TEXTMODE", savedmode.c_str(), 1);
	if (differ > 0)
		root.clear(); // keep the trees that differ for a look
}

namespace {

// The JSON string whose opening quote is at s[i], decoded; i moves past
// it.  The random trees are ASCII, so \u escapes stand for one byte.
std::string jsonstring(const std::string &s, size_t &i)
{
	std::string v;
	for (i++; i < s.size() && s[i] != '"'; i++) {
		if (s[i] != '\\') {
			v += s[i];
		} else if (s[++i] == 'u') {
			v += (char)strtol(s.substr(i + 1, 4).c_str(), nullptr,
			                  16);
			i += 4;
		} else {
			v += s[i];
		}
	}
	i++;
	return v;
}

// The value of member key in the one-line JSON object line, as text.
std::string member(const std::string &line, const std::string &key)
{
	size_t i = line.find("\"" + key + "\":");
	if (i == std::string::npos)
		return "";
	i += key.size() + 3;
	if (line[i] == '"')
		return jsonstring(line, i);
	return line.substr(i, line.find_first_of(",}", i) - i);
}

// The entries of the list named key in plotmap's JSON, one line each.
std::vector<std::string> entries(const std::string &json,
                                 const std::string &key)
{
	std::vector<std::string> v;
	size_t at = json.find("\n\"" + key + "\":[\n");
	if (at == std::string::npos)
		return v;
	std::istringstream in(json.substr(json.find('\n', at + 1) + 1));
	for (std::string line; std::getline(in, line) && line != "],";)
		v.push_back(line);
	return v;
}

// What the report says of the map: its "can't find" lines, then the
// verdict's pages outside the tree; or, from a run that ended on an
// error, nothing.
std::vector<std::string> reportofmap(const std::string &json)
{
	std::vector<std::string> pages, v;
	std::string dir =
	        member(json.substr(json.find("\"directory\"")), "directory");
	for (const std::string &p : entries(json, "pages"))
		pages.push_back(member(p, "name") +
		                (member(p, "reached") == "true" ? "" : " out"));
	for (const std::string &b : entries(json, "broken")) {
		const std::string &page = pages[stoi(member(b, "from"))];
		if (page.ends_with(" out"))
			break;
		v.push_back("  In " + dir + "\\" + page +
		            ", can't find linked file " +
		            (member(b, "kind") == "file" ? member(b, "target")
		                                         : member(b, "text")) +
		            ".");
	}
	for (const std::string &p : pages)
		if (p.ends_with(" out"))
			v.push_back(p);
	return v;
}

// The same of plotwalk's report.
std::vector<std::string> reportlines(const std::string &report)
{
	const std::string out = " is in the directory, but is not part of the "
	                        "tree";
	std::vector<std::string> v;
	std::istringstream in(report);
	for (std::string line; std::getline(in, line);) {
		line = line.substr(0, line.size() -
		                              (line.ends_with("\r") ? 1 : 0));
		if (line.starts_with("  In "))
			v.push_back(line);
		else if (line.ends_with(out))
			v.push_back(
			        line.substr(2, line.size() - 2 - out.size()) +
			        " out");
	}
	return v;
}

} // namespace

// plotmap's JSON holds what plotwalk's report holds on the same random
// trees: the "can't find" lines, in their order, and the pages outside
// the tree; a run that ends on an error ends plotmap with status 2.
TEST_F(differential, mapagreeswithreport)
{
	if (getenv("PLOTWALK_COMMAND") != nullptr)
		GTEST_SKIP() << "plotmap runs only beside this build";
	const char *env = getenv("PLOTMAP_TREES");
	int trees = env ? atoi(env) : 300;
	env = getenv("PLOTMAP_SEED");
	unsigned seed = env ? (unsigned)strtoul(env, nullptr, 10) : 1;
	std::mt19937 gen(seed);
	int differ = 0;
	for (int t = 0; t < trees && differ < 5; t++) {
		std::string dir = at("t" + std::to_string(t));
		makedir(dir);
		maketree(dir, randomtree(gen));
		std::vector<std::string> args;
		if (gen() % 8 != 0)
			args.push_back(arguments[gen() % (sizeof arguments /
			                                  sizeof *arguments)]);
		std::string cwd = args.empty() ? dir + "/story" : dir;
		runresult walk = runplotwalk(cwd, args);
		setenv("PLOTWALK_COMMAND", PLOTMAP_BINARY " -f json", 1);
		runresult map = runplotwalk(cwd, args);
		unsetenv("PLOTWALK_COMMAND");
		bool failed = walk.status != 0, mapfailed = map.status == 2;
		if (failed == mapfailed &&
		    (failed || reportlines(walk.out) == reportofmap(map.out))) {
			removetree(dir);
			continue;
		}
		differ++;
		ADD_FAILURE()
		        << "seed " << seed << ", tree " << t << " in " << dir
		        << ", argument "
		        << (args.empty() ? "(none, in story)" : args[0])
		        << "\n--- plotwalk, status " << walk.status << ":\n"
		        << walk.out << "--- plotmap, status " << map.status
		        << ":\n"
		        << map.out;
	}
	if (differ > 0)
		root.clear(); // keep the trees that differ for a look
}
