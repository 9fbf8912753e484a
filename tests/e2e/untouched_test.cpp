// No run changes anything on disk: every file, link and directory of a
// tree keeps its bytes, size, mode and times, and nothing is added.
#include "harness.h"

#include <dirent.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

namespace {

struct entry {
	mode_t mode;
	off_t size;
	struct timespec mtime, ctime;
	std::string bytes; // a file's contents or a link's target
	bool operator==(const entry &o) const
	{
		return mode == o.mode && size == o.size &&
		       mtime.tv_sec == o.mtime.tv_sec &&
		       mtime.tv_nsec == o.mtime.tv_nsec &&
		       ctime.tv_sec == o.ctime.tv_sec &&
		       ctime.tv_nsec == o.ctime.tv_nsec && bytes == o.bytes;
	}
};

using snapshot = std::map<std::string, entry>;

void record(const std::string &path, const std::string &rel, snapshot &snap)
{
	struct stat st;
	if (lstat(path.c_str(), &st) != 0)
		return;
	entry e = {st.st_mode, st.st_size, st.st_mtim, st.st_ctim, ""};
	if (S_ISREG(st.st_mode)) {
		e.bytes = readfile(path);
	} else if (S_ISLNK(st.st_mode)) {
		char buf[4096];
		ssize_t n = readlink(path.c_str(), buf, sizeof buf);
		e.bytes.assign(buf, n > 0 ? n : 0);
	}
	snap[rel] = e;
	if (!S_ISDIR(st.st_mode))
		return;
	DIR *d = opendir(path.c_str());
	if (d == nullptr)
		return;
	std::vector<std::string> names;
	for (struct dirent *de; (de = readdir(d)) != nullptr;)
		if (strcmp(de->d_name, ".") != 0 &&
		    strcmp(de->d_name, "..") != 0)
			names.push_back(de->d_name);
	closedir(d);
	for (const std::string &n : names)
		record(path + "/" + n, rel + "/" + n, snap);
}

snapshot take(const std::string &root)
{
	snapshot s;
	record(root, ".", s);
	return s;
}

struct ending {
	const char *name;
	std::vector<std::string> args;
	int status;
	const char *last; // the start of the last line printed
};

} // namespace

TEST_F(e2e, nothingtouched)
{
	std::vector<node> nodes = {
	        {"story/a.htm", "<a href=b.htm> <img src=pics/x.gif> "
	                        "<a href=\"./c.htm\"> <img src=none.gif>"},
	        {"story/b.htm",
	         "<a href=a.htm>\r\n<a href=\"../outside.htm\">"},
	        {"story/c.htm", ""},
	        {"story/pics/x.gif", "GIF89a"},
	        {"story/link.htm", "b.htm", nodekind::link},
	        {"outside.htm", "<a href=a.htm>"},
	        {"notes.txt", "not a directory"},
	        {"longname/" + std::string(124, 'n') + ".htm", ""},
	        {"cantopen/a.htm", "<a href=x.htm>"},
	        {"cantopen/x.htm/", ""},
	};
	if (!foreignhost())
		nodes.push_back({"story/fifo.htm", "", nodekind::fifo});
	for (int i = 0; i < 1024; i++)
		nodes.push_back({"many/p" + std::to_string(i) + ".htm", ""});
	tree(nodes);
	ASSERT_FALSE(HasFatalFailure());

	const ending endings[] = {
	        {"verdict", {"story"}, 0, "  link.htm is in the directory"},
	        {"verdict_here", {}, 0, "  story tree with root outside"},
	        {"help", {"-h"}, 0, "directory will be assumed."},
	        {"empty_argument", {""}, 1, "  Unable to use that"},
	        {"long_argument",
	         {std::string(256, 'd')},
	         1,
	         "  Unable to use that"},
	        {"missing", {"none"}, 1, "  The directory none doesn't"},
	        {"not_a_directory",
	         {"notes.txt"},
	         1,
	         "  Unable to read directory"},
	        {"long_name",
	         {"longname"},
	         1,
	         "  Unable to process file names longer"},
	        {"too_many", {"many"}, 1, "  Unable to process more"},
	        {"cant_open", {"cantopen"}, 1, "  Can't open"},
	        {"root_missing",
	         {"story/none.htm"},
	         1,
	         "  The chosen root file name"},
	};
	for (const ending &e : endings) {
		snapshot before = take(root);
		runresult r = runplotwalk(root, e.args);
		snapshot after = take(root);
		EXPECT_EQ(r.status, e.status) << e.name;
		size_t end = r.out.rfind("\r\n", r.out.size() - 3);
		std::string last =
		        end == std::string::npos ? "" : r.out.substr(end + 2);
		EXPECT_EQ(last.compare(0, strlen(e.last), e.last), 0)
		        << e.name << ": " << last;
		EXPECT_EQ(before.size(), after.size()) << e.name;
		for (const auto &[path, was] : before) {
			auto now = after.find(path);
			EXPECT_TRUE(now != after.end() && now->second == was)
			        << e.name << ": " << path << " changed";
		}
		for (const auto &[path, is] : after)
			EXPECT_TRUE(before.count(path))
			        << e.name << ": " << path << " was created";
	}
}
