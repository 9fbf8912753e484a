// plotmap: draw the map of a hyperfiction story as plotwalk walks it.
//
// Walks the story with plotwalk's own module, told of each link through
// its observer, and writes the map as an HTML page, Graphviz text, JSON
// or lines for editors.  A summary goes to standard error.
//
// Exit status: 0 when every page is reached and every link found; 1 when
// the map shows broken links or pages not reached; 2 on an error, with no
// map written.
#include "plotmap.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../host.h"
#include "../plotwalk.h"

static const char usage[] =
        "Usage: plotmap [--format html|dot|json|lines] [--output FILE] "
        "[TARGET]\n";

static const char helptext[] =
        "Draws the map of a hyperfiction story as plotwalk walks it: its "
        "pages, the\n"
        "links between them, the links that name nothing, and the pages "
        "that the\n"
        "root does not reach.\n"
        "\n"
        "TARGET is what plotwalk takes: nothing (the current directory, "
        "whose first\n"
        "HTML file is the root), a directory, or the root page.\n"
        "\n"
        "  -f, --format FORMAT  html: one page to open in a browser (the "
        "default)\n"
        "                       dot: Graphviz text, for 'plotmap -f dot | "
        "dot -Tsvg'\n"
        "                       json: the map for other programs\n"
        "                       lines: PAGE:LINE: can't find TARGET, for "
        "editors\n"
        "  -o, --output FILE    write the map to FILE, not to standard "
        "output\n"
        "  -h, --help           show this help and exit\n"
        "  -V, --version        show the version and exit\n"
        "\n"
        "Exit status: 0 when every page is reached and every link found, 1 "
        "when the\n"
        "map shows broken links or pages not reached, 2 on an error.\n";

static const char *const formatnames[] = {"html", "dot", "json", "lines"};

// A command line that cannot be taken: the reason, and a hint.
[[noreturn]] static void misuse(const char *what, const char *arg)
{
	fprintf(stderr, "plotmap: %s%s\n%sTry 'plotmap --help'.\n", what, arg,
	        usage);
	exit(2);
}

// The value of the option at argv[*i] that is named by the short name s
// or the long name l, or nullptr when it is not that option: "-fX",
// "-f X", "--format=X" or "--format X".
static const char *optionvalue(int argc, char **argv, int *i, const char *s,
                               const char *l)
{
	const char *a = argv[*i];
	size_t n = strlen(l);

	if (strncmp(a, s, 2) == 0 && a[2] != '\0')
		return a + 2;
	if (strncmp(a, l, n) == 0 && a[n] == '=')
		return a + n + 1;
	if (strcmp(a, s) != 0 && strcmp(a, l) != 0)
		return nullptr;
	if (++*i == argc)
		misuse("a value is missing after ", a);
	return argv[*i];
}

// Percent-encodes the absolute host path into a file URL in url of size
// bytes; "" when it does not fit.
static void makeurl(const char *path, char *url, int size)
{
	static const char hex[] = "0123456789ABCDEF";
	int n = snprintf(url, size, "file://%s", path[0] == '/' ? "" : "/");

	for (const unsigned char *p = (const unsigned char *)path; *p; p++) {
		if (n + 4 > size) {
			url[0] = '\0';
			return;
		}
		if (*p == '\\')
			url[n++] = '/';
		else if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') ||
		         (*p >= '0' && *p <= '9') || strchr("-._~/:", *p))
			url[n++] = (char)*p;
		else {
			url[n++] = '%';
			url[n++] = hex[*p >> 4];
			url[n++] = hex[*p & 15];
		}
	}
	url[n] = '\0';
}

// Where the pages are, for the lines format and the page's links.
static void findpagedir()
{
	char full[pathsize];

	if (!hostdirpath(dirname, pagedir, pathsize, 0))
		snprintf(pagedir, pathsize, "%s/", dirname);
	if (hostdirpath(dirname, full, pathsize, 1))
		makeurl(full, pageurl, pathsize);
}

int main(int argc, char **argv)
{
	const char *target = nullptr, *output = nullptr, *name = "html";
	const char *v;
	int options = 1, kind = -1;

	for (int i = 1; i < argc; i++) {
		const char *a = argv[i];
		if (!options || a[0] != '-' || a[1] == '\0') {
			if (target != nullptr)
				misuse("more than one target: ", a);
			target = a;
		} else if (strcmp(a, "--") == 0) {
			options = 0;
		} else if (strcmp(a, "-h") == 0 || strcmp(a, "--help") == 0) {
			printf("%s\n%s", usage, helptext);
			return 0;
		} else if (strcmp(a, "-V") == 0 ||
		           strcmp(a, "--version") == 0) {
			printf("plotmap %s\n", PLOTMAP_VERSION);
			return 0;
		} else if ((v = optionvalue(argc, argv, &i, "-f",
		                            "--format"))) {
			name = v;
		} else if ((v = optionvalue(argc, argv, &i, "-o",
		                            "--output"))) {
			output = v;
		} else {
			misuse("unknown option ", a);
		}
	}
	for (int k = 0; k < 4; k++)
		if (strcmp(name, formatnames[k]) == 0)
			kind = k;
	if (kind < 0)
		misuse("unknown format ", name);
	format = (mapformat)kind;
	if (output != nullptr && output[0] == '\0')
		misuse("the output file's name is empty", "");
	if (target != nullptr && target[0] == '\0')
		fatal("the target is empty");
	if (target != nullptr && strlen(target) >= namesize)
		fatal("the target is longer than %d bytes", namesize - 1);
	if (hostrawoutput() && output == nullptr && format == formathtml)
		fatal("an HTML map is not for a terminal: name a file with "
		      "--output FILE, or redirect standard output");

	beginwalk(target);
	findpagedir();
	FILE *f = stdout;
	if (output != nullptr) {
		if ((f = fopen(output, "wb")) == nullptr)
			fatal("cannot write %s: %s", output, strerror(errno));
		outputpath = output;
	}
	startoutput(f);
	startmap();
	walkstory();
	shapemap();
	endmap();
	int written = endoutput();
	if (output != nullptr)
		written = fclose(f) == 0 && written;
	if (!written)
		fatal("cannot write %s",
		      output != nullptr ? output
		                        : "the map to standard output");
	outputpath = nullptr;

	fprintf(stderr,
	        "plotmap: %d pages, %d reached, %d not reached, %d broken "
	        "links\n",
	        counts.pages, counts.reached, counts.notreached, counts.broken);
	return counts.notreached > 0 || counts.broken > 0 ? 1 : 0;
}
