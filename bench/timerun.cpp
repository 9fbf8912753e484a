// timerun: runs a command once with its standard output sent to a file
// and prints its wall-clock time in seconds and its peak resident memory
// in KiB.
//
// Usage: timerun outfile command [argument...]
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now()
{
	struct timespec ts;

	clock_gettime(CLOCK_MONOTONIC, &ts);
	return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char **argv)
{
	struct rusage ru;
	int status;

	if (argc < 3) {
		fprintf(stderr,
		        "usage: timerun outfile command [argument...]\n");
		return 2;
	}
	double start = now();
	pid_t pid = fork();
	if (pid < 0) {
		perror("timerun: fork");
		return 1;
	}
	if (pid == 0) {
		int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0666);
		if (fd < 0 || dup2(fd, 1) < 0) {
			perror(argv[1]);
			_exit(127);
		}
		close(fd);
		execvp(argv[2], argv + 2);
		perror(argv[2]);
		_exit(127);
	}
	if (wait4(pid, &status, 0, &ru) != pid) {
		perror("timerun: wait4");
		return 1;
	}
	double elapsed = now() - start;
	if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) {
		fprintf(stderr, "timerun: %s did not run to its end\n",
		        argv[2]);
		return 1;
	}
	printf("%.6f %ld\n", elapsed, ru.ru_maxrss);
	return 0;
}
