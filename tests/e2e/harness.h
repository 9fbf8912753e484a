// End-to-end harness: real story trees in fresh temporary directories,
// and runs of the built program over them with exact stdout captured.
#ifndef PLOTWALK_HARNESS_H
#define PLOTWALK_HARNESS_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct runresult {
	std::string out; // stdout, byte for byte
	int status = -1; // exit status, or -1 when it did not exit
	int signal = 0;  // the signal that ended it, or 0
	bool timedout = false;
};

// Runs the program with cwd as working directory and args as its
// arguments after the program name; with noname, argv is empty (argc 0).
// Standard input is closed; a run longer than timeout seconds is killed.
// With outpath, stdout goes to that file instead of being captured; with
// closeafter, the reader closes the pipe once it holds that many bytes;
// with nofile >= 0, the program opens no descriptor numbered that high.
// Standard error passes through to the test's own.
runresult runplotwalk(const std::string &cwd,
                      const std::vector<std::string> &args, bool noname = false,
                      int timeout = 30, const std::string &outpath = "",
                      size_t closeafter = 0, int nofile = -1);

// True when the program is started through a command prefix (such as an
// emulator) that cannot start it with an empty argument vector, or runs
// on a host without POSIX file types.
bool foreignhost();

// The expected stdout: the empty line and banner that open every run,
// then each of lines ended by CR LF.
std::string report(const std::vector<std::string> &lines);

// Every line ended by CR LF, without the opening banner.
std::string crlf(const std::vector<std::string> &lines);

void writefile(const std::string &path, const std::string &bytes);

// One node of a tree built by maketree: a regular file holding bytes, a
// directory (also any path ending in '/'), a FIFO, a bound Unix socket,
// or a symbolic link whose target is bytes.  Missing parent directories
// are made.
enum class nodekind { file, dir, fifo, link, socket };
struct node {
	std::string path;
	std::string bytes;
	nodekind kind = nodekind::file;
};
void maketree(const std::string &base, const std::vector<node> &nodes);
void makefifo(const std::string &path);
void makelink(const std::string &target, const std::string &path);
void makesocket(const std::string &path);

// The report's opening lines for the argument as entered, the catalogue
// count and the directory, followed by rest and more.
std::vector<std::string> opened(const std::string &entered, int count,
                                const std::string &dir,
                                const std::vector<std::string> &rest = {},
                                const std::vector<std::string> &more = {});

// The verdict when every HTML file is in the tree.
std::vector<std::string> alltree(const std::string &root);

// The verdict when count files are in the tree and orphans are not.
std::vector<std::string> parttree(int count, const std::string &root,
                                  const std::vector<std::string> &orphans);

// a followed by b.
std::vector<std::string> operator+(std::vector<std::string> a,
                                   const std::vector<std::string> &b);
void makedir(const std::string &path);
std::string readfile(const std::string &path);
void removetree(const std::string &path);

// A fresh temporary directory for each test, removed after it.
class e2e : public ::testing::Test {
      protected:
	std::string root;
	void SetUp() override;
	void TearDown() override;
	std::string at(const std::string &rel) const
	{
		return root + "/" + rel;
	}
	void file(const std::string &rel, const std::string &bytes)
	{
		writefile(at(rel), bytes);
	}
	void dir(const std::string &rel)
	{
		makedir(at(rel));
	}
	runresult run(const std::vector<std::string> &args)
	{
		return runplotwalk(root, args);
	}
	void tree(const std::vector<node> &nodes)
	{
		maketree(root, nodes);
	}
};

// One table-driven run: build files, run with args in the tree's top
// directory, and compare stdout (after the banner) and exit status.
struct runcase {
	std::string name; // letters, digits and underscores
	std::vector<node> files;
	std::vector<std::string> args;
	std::vector<std::string> lines;
	int status = 0;
	// why the case holds only on a POSIX host, or nullptr
	const char *posixonly = nullptr;
};
void PrintTo(const runcase &c, std::ostream *os);
std::string casename(const ::testing::TestParamInfo<runcase> &info);

class runcases : public e2e, public ::testing::WithParamInterface<runcase> {
      protected:
	void check();
};

#endif
