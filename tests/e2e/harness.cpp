// End-to-end harness: temporary trees and runs of the program.
#include "harness.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <sstream>

// The command that starts the program: PLOTWALK_COMMAND (words separated
// by blanks) when set, otherwise the binary this build made.
static std::vector<std::string> command()
{
	std::vector<std::string> words;
	const char *env = getenv("PLOTWALK_COMMAND");
	if (env == nullptr || *env == '\0') {
		words.push_back(PLOTWALK_BINARY);
		return words;
	}
	std::istringstream in(env);
	std::string w;
	while (in >> w)
		words.push_back(w);
	return words;
}

bool foreignhost()
{
	return command().size() > 1;
}

// A text-mode stream on the program's own platform writes each LF as
// CR LF; a text-mode reader there reads the CR CR LF back as CR LF.
static std::string fromtextmode(const std::string &s)
{
	std::string out;
	for (size_t i = 0; i < s.size(); i++) {
		if (s[i] == '\r' && i + 2 < s.size() && s[i + 1] == '\r' &&
		    s[i + 2] == '\n')
			continue;
		out += s[i];
	}
	return out;
}

static double now()
{
	struct timespec ts;
	clock_gettime(CLOCK_MONOTONIC, &ts);
	return ts.tv_sec + ts.tv_nsec / 1e9;
}

runresult runplotwalk(const std::string &cwd,
                      const std::vector<std::string> &args, bool noname,
                      int timeout, const std::string &outpath,
                      size_t closeafter, int nofile)
{
	runresult r;
	std::vector<std::string> words = command();
	std::string program = words[0];
	if (!noname)
		words.insert(words.end(), args.begin(), args.end());
	else
		words.clear();
	std::vector<char *> argv;
	for (std::string &w : words)
		argv.push_back(w.data());
	argv.push_back(nullptr);

	int fds[2];
	if (pipe(fds) != 0) {
		ADD_FAILURE() << "pipe: " << strerror(errno);
		return r;
	}
	pid_t pid = fork();
	if (pid == 0) {
		setpgid(0, 0);
		int out = outpath.empty()
		                  ? fds[1]
		                  : open(outpath.c_str(),
		                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
		if (out < 0)
			_exit(125);
		dup2(out, 1);
		if (out != fds[1])
			close(out);
		close(0);
		close(fds[0]);
		close(fds[1]);
		if (chdir(cwd.c_str()) != 0)
			_exit(126);
		struct rlimit limit = {(rlim_t)nofile, (rlim_t)nofile};
		if (nofile >= 0 && setrlimit(RLIMIT_NOFILE, &limit) != 0)
			_exit(125);
		extern char **environ;
		execve(program.c_str(), argv.data(), environ);
		execvp(program.c_str(), argv.data());
		_exit(127);
	}
	close(fds[1]);
	double deadline = now() + timeout;
	char buf[65536];
	for (;;) {
		int left = (int)((deadline - now()) * 1000);
		if (left <= 0) {
			r.timedout = true;
			kill(-pid, SIGKILL);
			kill(pid, SIGKILL);
			break;
		}
		struct pollfd p = {fds[0], POLLIN, 0};
		int n = poll(&p, 1, left);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0)
			continue;
		ssize_t got = read(fds[0], buf, sizeof buf);
		if (got < 0 && errno == EINTR)
			continue;
		if (got <= 0)
			break;
		r.out.append(buf, got);
		if (closeafter > 0 && r.out.size() >= closeafter)
			break;
	}
	close(fds[0]);
	// the pipe may close before the program ends: wait for it within
	// the same deadline
	int ws = 0;
	for (;;) {
		pid_t w = waitpid(pid, &ws, r.timedout ? 0 : WNOHANG);
		if (w == pid || (w < 0 && errno != EINTR))
			break;
		if (w == 0 && now() >= deadline) {
			r.timedout = true;
			kill(-pid, SIGKILL);
			kill(pid, SIGKILL);
		} else if (w == 0) {
			usleep(1000);
		}
	}
	if (WIFEXITED(ws))
		r.status = WEXITSTATUS(ws);
	else if (WIFSIGNALED(ws))
		r.signal = WTERMSIG(ws);
	if (getenv("PLOTWALK_TEXTMODE") != nullptr)
		r.out = fromtextmode(r.out);
	EXPECT_FALSE(r.timedout) << "the run hung";
	return r;
}

std::string crlf(const std::vector<std::string> &lines)
{
	std::string s;
	for (const std::string &l : lines)
		s += l + "\r\n";
	return s;
}

std::string report(const std::vector<std::string> &lines)
{
	return "\r\nTellomar v1999.10 story tree verification program\r\n\r\n" +
	       crlf(lines);
}

void writefile(const std::string &path, const std::string &bytes)
{
	int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
	ASSERT_GE(fd, 0) << path << ": " << strerror(errno);
	size_t done = 0;
	while (done < bytes.size()) {
		ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
		ASSERT_GT(n, 0) << path << ": " << strerror(errno);
		done += n;
	}
	close(fd);
}

void makefifo(const std::string &path)
{
	ASSERT_EQ(mkfifo(path.c_str(), 0644), 0)
	        << path << ": " << strerror(errno);
}

void makesocket(const std::string &path)
{
	struct sockaddr_un addr = {};
	addr.sun_family = AF_UNIX;
	ASSERT_LT(path.size(), sizeof addr.sun_path) << path;
	memcpy(addr.sun_path, path.c_str(), path.size() + 1);
	int fd = socket(AF_UNIX, SOCK_STREAM, 0);
	ASSERT_GE(fd, 0) << strerror(errno);
	int r = bind(fd, (struct sockaddr *)&addr, sizeof addr);
	int err = errno;
	close(fd);
	ASSERT_EQ(r, 0) << path << ": " << strerror(err);
}

void makelink(const std::string &target, const std::string &path)
{
	ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0)
	        << path << ": " << strerror(errno);
}

void maketree(const std::string &base, const std::vector<node> &nodes)
{
	for (const node &n : nodes) {
		std::string path = n.path;
		bool isdir = n.kind == nodekind::dir ||
		             (!path.empty() && path.back() == '/');
		while (!path.empty() && path.back() == '/')
			path.pop_back();
		for (size_t i = path.find('/'); i != std::string::npos;
		     i = path.find('/', i + 1)) {
			std::string parent = base + "/" + path.substr(0, i);
			ASSERT_TRUE(mkdir(parent.c_str(), 0755) == 0 ||
			            errno == EEXIST)
			        << parent << ": " << strerror(errno);
		}
		std::string full = base + "/" + path;
		if (isdir)
			makedir(full);
		else if (n.kind == nodekind::fifo)
			makefifo(full);
		else if (n.kind == nodekind::link)
			makelink(n.bytes, full);
		else if (n.kind == nodekind::socket)
			makesocket(full);
		else
			writefile(full, n.bytes);
	}
}

std::vector<std::string> operator+(std::vector<std::string> a,
                                   const std::vector<std::string> &b)
{
	a.insert(a.end(), b.begin(), b.end());
	return a;
}

std::vector<std::string> opened(const std::string &entered, int count,
                                const std::string &dir,
                                const std::vector<std::string> &rest,
                                const std::vector<std::string> &more)
{
	return std::vector<std::string>{
	               "  As entered for verification: " + entered, "",
	               "  " + std::to_string(count) +
	                       " HTML files found in directory " + dir,
	               ""} +
	       rest + more;
}

std::vector<std::string> alltree(const std::string &root)
{
	return {"", "  All HTML files found in the directory are part of the",
	        "  story tree with root " + root + "."};
}

std::vector<std::string> parttree(int count, const std::string &root,
                                  const std::vector<std::string> &orphans)
{
	std::vector<std::string> v = {
	        "",
	        "  " + std::to_string(count) +
	                " HTML files found in the directory are part of the",
	        "  story tree with root " + root + ".", ""};
	for (const std::string &o : orphans)
		v.push_back(
		        "  " + o +
		        " is in the directory, but is not part of the tree");
	return v;
}

void PrintTo(const runcase &c, std::ostream *os)
{
	*os << c.name;
}

std::string casename(const ::testing::TestParamInfo<runcase> &info)
{
	return info.param.name;
}

void runcases::check()
{
	const runcase &c = GetParam();
	if (c.posixonly && foreignhost())
		GTEST_SKIP() << "POSIX host only: " << c.posixonly;
	tree(c.files);
	if (HasFatalFailure())
		return;
	runresult r = run(c.args);
	EXPECT_EQ(r.out, report(c.lines));
	EXPECT_EQ(r.status, c.status);
	EXPECT_EQ(r.signal, 0);
}

void makedir(const std::string &path)
{
	ASSERT_EQ(mkdir(path.c_str(), 0755), 0)
	        << path << ": " << strerror(errno);
}

std::string readfile(const std::string &path)
{
	std::string s;
	int fd = open(path.c_str(), O_RDONLY);
	if (fd < 0)
		return s;
	char buf[65536];
	ssize_t n;
	while ((n = read(fd, buf, sizeof buf)) > 0)
		s.append(buf, n);
	close(fd);
	return s;
}

void removetree(const std::string &path)
{
	struct stat st;
	if (lstat(path.c_str(), &st) != 0)
		return;
	if (S_ISDIR(st.st_mode)) {
		chmod(path.c_str(), 0755);
		DIR *d = opendir(path.c_str());
		if (d != nullptr) {
			struct dirent *e;
			std::vector<std::string> names;
			while ((e = readdir(d)) != nullptr)
				if (strcmp(e->d_name, ".") != 0 &&
				    strcmp(e->d_name, "..") != 0)
					names.push_back(e->d_name);
			closedir(d);
			for (const std::string &n : names)
				removetree(path + "/" + n);
		}
		rmdir(path.c_str());
	} else {
		unlink(path.c_str());
	}
}

void e2e::SetUp()
{
	const char *tmp = getenv("TMPDIR");
	std::string pattern =
	        std::string(tmp && *tmp ? tmp : "/tmp") + "/plotwalk-XXXXXX";
	std::vector<char> buf(pattern.begin(), pattern.end());
	buf.push_back('\0');
	ASSERT_NE(mkdtemp(buf.data()), nullptr) << strerror(errno);
	root = buf.data();
}

void e2e::TearDown()
{
	removetree(root);
}
