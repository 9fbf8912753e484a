// readfloor: reads every byte of the named files with 64 KiB read()
// calls and does nothing else with them: the floor for any program that
// has to look at those bytes.
//
// Usage: readfloor file...
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

constexpr int blocksize = 65536;

static char block[blocksize];

int main(int argc, char **argv)
{
	for (int i = 1; i < argc; i++) {
		int fd = open(argv[i], O_RDONLY);
		if (fd < 0) {
			perror(argv[i]);
			return 1;
		}
		ssize_t r;
		do
			r = read(fd, block, blocksize);
		while (r > 0 || (r < 0 && errno == EINTR));
		if (r < 0) {
			perror(argv[i]);
			return 1;
		}
		close(fd);
	}
	return 0;
}
