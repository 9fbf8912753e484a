// The page scanner over an arbitrary page in a small catalogue.
#include "plotwalk.h"

#include <fcntl.h>
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "check.h"
#include "host.h"

static std::string workdir;
static int outfd = -1;

static void writeall(const std::string &path, const char *data, size_t size)
{
	int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
	check(fd >= 0);
	for (size_t done = 0; done < size;) {
		ssize_t n = write(fd, data + done, size - done);
		check(n > 0);
		done += n;
	}
	close(fd);
}

static void cleanup()
{
	const char *files[] = {"story/a.htm",     "story/b.htm",
	                       "story/C.HTM",     "story/pics/x.gif",
	                       "story/title.gif", "out"};
	for (const char *f : files)
		unlink((workdir + "/" + f).c_str());
	rmdir((workdir + "/story/pics").c_str());
	rmdir((workdir + "/story").c_str());
	rmdir(workdir.c_str());
}

// A tree in a fresh directory, which becomes the working directory:
// story holds the scanned page a.htm, two more pages and two other files.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	const char *tmp = getenv("TMPDIR");
	std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") +
	                      "/plotwalkfuzz-XXXXXX";
	check(mkdtemp(pattern.data()) != nullptr);
	workdir = pattern;
	check(mkdir((workdir + "/story").c_str(), 0755) == 0);
	check(mkdir((workdir + "/story/pics").c_str(), 0755) == 0);
	for (const char *f : {"story/a.htm", "story/b.htm", "story/C.HTM",
	                      "story/pics/x.gif", "story/title.gif"})
		writeall(workdir + "/" + f, "", 0);
	check(chdir(workdir.c_str()) == 0);
	outfd = open("out", O_RDWR | O_CREAT | O_TRUNC, 0644);
	check(outfd >= 0);
	atexit(cleanup);
	return 0;
}

// Runs fn with stdout going into the file out; returns what it printed.
template <typename F> static std::string captured(F fn)
{
	fflush(stdout);
	check(ftruncate(outfd, 0) == 0 && lseek(outfd, 0, SEEK_SET) == 0);
	int saved = dup(1);
	check(saved >= 0 && dup2(outfd, 1) == 1);
	fn();
	fflush(stdout);
	check(dup2(saved, 1) == 1);
	close(saved);
	std::string s;
	char buf[65536];
	check(lseek(outfd, 0, SEEK_SET) == 0);
	for (ssize_t n; (n = read(outfd, buf, sizeof buf)) > 0;)
		s.append(buf, n);
	return s;
}

// What the page's report lines must be, and the marks it must leave, by
// the simplest loop over pieces: the first equals sign at or after a cursor
// that moves on by each reference's length, getworkfile, expandworkfile,
// a probe for a path and indexofname for a bare name.  Checks the marks.
static std::string model()
{
	std::string lines;
	std::vector<uint16_t> marks(flistentries, unreached);
	marks[indexofname(flist, "a.htm", flistentries)] = scanned;
	hostfile *page = hostfopen("story\\a.htm");
	check(page != nullptr);
	char line[linesize];
	while (hostfgets(line, linesize, page) != nullptr) {
		int n = 0;
		for (char *eq = strchr(line, '='); eq != nullptr;
		     eq = strchr(eq + n, '=')) {
			char ref[refsize], joined[joinedsize];
			n = getworkfile(ref, refsize, eq);
			if (n <= 0)
				break;
			int len = expandworkfile(ref, joined, joinedsize);
			const char *missing = nullptr;
			if (strchr(ref, ':') != nullptr)
				continue;
			if (strpbrk(ref, "/\\") != nullptr) {
				if (len > maxpathlen ||
				    !hostcanopen(joined, len))
					missing = joined;
			} else {
				int t = indexofname(flist, ref, flistentries);
				if (t < 0)
					missing = ref;
				else if (marks[t] != scanned)
					marks[t] = pending;
			}
			if (missing != nullptr)
				lines += "  In story\\a.htm, can't find linked "
				         "file " +
				         std::string(missing) + ".\r\n";
		}
	}
	check(hostfclose(page) == 0);
	for (int i = 0; i < flistentries; i++)
		check(flist[i].status == marks[i]);
	return lines;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	writeall("story/a.htm", (const char *)data, size);
	resetstate();
	strcpy(fullname, "story");
	fullnamelen = 5;
	strcpy(dirname, "story");
	dirnamelen = 5;
	strcpy(rootname, "a.htm");

	std::string out = captured([] {
		readcatalogue();
		plotwalk("a.htm");
	});

	const std::string head = "  As entered for verification: story\r\n\r\n"
	                         "  3 HTML files found in directory story\r\n"
	                         "\r\n";
	check(out.compare(0, head.size(), head) == 0);
	check(out.compare(head.size(), std::string::npos, model()) == 0);
	return 0;
}
