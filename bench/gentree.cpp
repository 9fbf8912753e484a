// gentree: writes a reproducible story tree for the benchmark.
//
// Usage: gentree kind directory [seed]
//
// Kinds:
//   realistic        1023 prose pages of about 30 KB, all in the root's
//                    tree, with image links, width attributes and a few
//                    missing targets; half of them end lines in CR LF
//   dense            1023 pages; 100 of them hold about 220 KB each of
//                    bare references (=name.htm, 200-character lines) to
//                    the catalogue, all found
//   dense-missing    the same, with every bulk reference missing
//   small-catalogue  the dense references spread over 16 pages
//   missing-dirs     1023 pages; 100 of them hold 200 links each to
//                    distinct files of a missing directory (nope/x1.gif)
//   missing-folder   1023 short pages, each with 40 links to pictures of
//                    its own in a missing folder (images/p0001-7.gif)
//   cased-folder     the same, with the folder present as Images/ (and
//                    none of the pictures in it)
//   one-page         a single prose page
//   big-page         a single prose page of 50 MB
//
// The directory is created (it must not exist).  The names of the pages
// the program will scan are printed, one a line, relative to it.  The
// same kind and seed always give the same bytes.
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

static uint64_t rngstate;

// splitmix64: small, fast, and the same everywhere
static uint64_t nextrandom()
{
	uint64_t z = (rngstate += 0x9e3779b97f4a7c15ull);

	z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
	z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
	return z ^ (z >> 31);
}

// A number from 0 to n-1.
static int pick(int n)
{
	return (int)(nextrandom() % (uint64_t)n);
}

static const char *const words[] = {
        "the",     "road",    "river",  "lantern", "forest", "and",
        "of",      "a",       "you",    "walk",    "cold",   "light",
        "stone",   "water",   "night",  "under",   "bridge", "old",
        "voice",   "door",    "behind", "quietly", "map",    "to",
        "in",      "was",     "she",    "he",      "it",     "saw",
        "winter",  "gate",    "tower",  "beneath", "silver", "across",
        "hollow",  "whisper", "ember",  "field",   "long",   "before",
        "morning", "crow",    "glass",  "letter",  "north",  "remember",
};
constexpr int nwords = sizeof words / sizeof words[0];

static const char *const titles[] = {
        "home",  "river",  "cave", "forest", "tower", "gate",
        "field", "bridge", "crow", "letter", "ember", "hollow",
};
constexpr int ntitles = sizeof titles / sizeof titles[0];

static void fail(const char *what, const char *path)
{
	fprintf(stderr, "gentree: %s %s: %s\n", what, path, strerror(errno));
	exit(1);
}

static void writepage(const std::string &dir, const std::string &name,
                      const std::string &text)
{
	std::string path = dir + "/" + name;
	FILE *f = fopen(path.c_str(), "wb");

	if (f == nullptr)
		fail("cannot create", path.c_str());
	if (fwrite(text.data(), 1, text.size(), f) != text.size() ||
	    fclose(f) != 0)
		fail("cannot write", path.c_str());
}

static void makedir(const std::string &path)
{
	if (mkdir(path.c_str(), 0777) != 0)
		fail("cannot create", path.c_str());
}

// Ends a line with LF or CR LF.
static void endline(std::string &out, int crlf)
{
	out += crlf ? "\r\n" : "\n";
}

static std::string realisticname(int i)
{
	char buf[64];

	snprintf(buf, sizeof buf, "%04d-%s.htm", i, titles[i % ntitles]);
	return buf;
}

// One link inside a paragraph: a page of the tree (now and then in upper
// case), an image, a missing page, a web or mail address; about one
// paragraph in three holds one.
static std::string inlinelink(const std::vector<int> &targets, int self)
{
	char buf[256];
	int kind = pick(100);

	if (kind < 70 && !targets.empty()) {
		std::string name = realisticname(targets[pick(targets.size())]);
		if (pick(20) == 0)
			for (char &c : name)
				c = (char)toupper((unsigned char)c);
		if (pick(3) == 0)
			snprintf(buf, sizeof buf, "<a href=%s>%s</a>",
			         name.c_str(), words[pick(nwords)]);
		else
			snprintf(buf, sizeof buf, "<a href=\"%s\">%s %s</a>",
			         name.c_str(), words[pick(nwords)],
			         words[pick(nwords)]);
	} else if (kind < 80) {
		// images/ holds pic0.gif to pic19.gif; higher numbers are
		// missing
		snprintf(buf, sizeof buf,
		         "<img src=\"images/pic%d.gif\" width=%d height=%d "
		         "alt=\"%s\">",
		         pick(24), 40 + pick(400), 30 + pick(300),
		         words[pick(nwords)]);
	} else if (kind < 88) {
		snprintf(buf, sizeof buf, "<a href=\"%04d-missing.htm\">%s</a>",
		         self, words[pick(nwords)]);
	} else if (kind < 95) {
		snprintf(
		        buf, sizeof buf,
		        "<a href=\"http://www.example.org/story/%d.html?page=%d"
		        "\">%s</a>",
		        pick(100), pick(100), words[pick(nwords)]);
	} else {
		snprintf(buf, sizeof buf,
		         "<a href=\"mailto:reader%d@example.org\">write</a>",
		         pick(1000));
	}
	return buf;
}

// A paragraph of about len bytes, wrapped at 72 columns, or one long
// line now and then.
static void paragraph(std::string &out, int len, int crlf,
                      const std::vector<int> &targets, int self, int links)
{
	int wrap = pick(5) != 0;
	int col = 3, total = 0;

	out += "<p>";
	while (total < len) {
		std::string w;
		if (links > 0 && pick(len / 60 + 1) == 0) {
			w = inlinelink(targets, self);
			links--;
		} else {
			w = words[pick(nwords)];
			if (pick(12) == 0)
				w += pick(2) ? "." : ",";
		}
		if (wrap && col + 1 + (int)w.size() > 72) {
			endline(out, crlf);
			col = 0;
		} else if (col > 3) {
			out += ' ';
			col++;
		}
		out += w;
		col += (int)w.size();
		total += (int)w.size() + 1;
	}
	out += "</p>";
	endline(out, crlf);
}

// A prose page of about size bytes linking to the given pages.
static std::string prosepage(int self, const std::vector<int> &children,
                             const std::vector<int> &others, size_t size)
{
	int crlf = pick(2);
	std::string out;
	char buf[256];

	snprintf(buf, sizeof buf, "<html><head><title>%s %d</title>",
	         titles[self % ntitles], self);
	out += buf;
	endline(out, crlf);
	out += "<meta http-equiv=\"Content-Type\" content=\"text/html; "
	       "charset=iso-8859-1\">";
	endline(out, crlf);
	out += "</head>";
	endline(out, crlf);
	out += "<body bgcolor=\"#FFFFF0\" text=\"#000000\" link=\"#0000C0\">";
	endline(out, crlf);
	out += "<center><img src=title.gif width=400 height=60></center>";
	endline(out, crlf);
	snprintf(buf, sizeof buf,
	         "<table width=\"100%%\" border=0 cellpadding=4><tr><td>");
	out += buf;
	endline(out, crlf);

	while (out.size() < size - 2000)
		paragraph(out, 300 + pick(900), crlf, others, self,
		          pick(5) < 2);

	// the links that hold the tree together, in a list at the end
	out += "</td></tr></table>";
	endline(out, crlf);
	out += "<ul>";
	endline(out, crlf);
	for (int c : children) {
		snprintf(buf, sizeof buf, "<li><a href=\"%s\">%s %s</a></li>",
		         realisticname(c).c_str(), words[pick(nwords)],
		         words[pick(nwords)]);
		out += buf;
		endline(out, crlf);
	}
	out += "</ul>";
	endline(out, crlf);
	out += "<font size=2>The end of this part.</font></body></html>";
	endline(out, crlf);
	return out;
}

static void realistic(const std::string &dir, int npages, size_t size)
{
	std::vector<std::vector<int>> children(npages);
	std::string images = dir + "/images";

	makedir(dir);
	makedir(images);
	for (int i = 0; i < 20; i++) {
		char name[32];
		snprintf(name, sizeof name, "pic%d.gif", i);
		writepage(images, name, "GIF89a");
	}
	writepage(dir, "title.gif", "GIF89a");

	// every page hangs below an earlier one, so all are in the tree
	for (int i = 1; i < npages; i++)
		children[pick(i)].push_back(i);
	for (int i = 0; i < npages; i++) {
		// inline links go to the root, the parent's pages and a few
		// random ones
		std::vector<int> others = {0};
		for (int k = 0; k < 4; k++)
			others.push_back(pick(npages));
		writepage(dir, realisticname(i),
		          prosepage(i, children[i], others, size));
		printf("%s\n", realisticname(i).c_str());
	}
}

static std::string densename(char letter, int i)
{
	char buf[32];

	snprintf(buf, sizeof buf, "%c%04d.htm", letter, i);
	return buf;
}

// A file in a directory that does not exist, distinct for each i.
static std::string nopename(int i)
{
	char buf[32];

	snprintf(buf, sizeof buf, "nope/x%d.gif", i);
	return buf;
}

// Appends =name references separated by blanks in lines of at most 200
// characters.
static void references(std::string &out, const std::vector<std::string> &refs)
{
	size_t col = 0;

	for (const std::string &r : refs) {
		if (col > 0 && col + 2 + r.size() > 200) {
			out += '\n';
			col = 0;
		}
		if (col > 0) {
			out += ' ';
			col++;
		}
		out += '=';
		out += r;
		col += 1 + r.size();
	}
	out += '\n';
}

// npages catalogued pages; the first nbulk hold totalrefs bulk references
// between them, to catalogued names, (missing 1) to names of another
// letter, or (missing 2) each to its own file in a missing directory.
// The root links to every other page first.
static void dense(const std::string &dir, int npages, int nbulk, int totalrefs,
                  int missing)
{
	int nope = 0;

	makedir(dir);
	for (int i = 0; i < npages; i++) {
		std::vector<std::string> refs;
		std::string out = "<html><body>\n";
		if (i == 0)
			for (int k = 1; k < npages; k++)
				refs.push_back(densename('p', k));
		if (i < nbulk) {
			int n = totalrefs / nbulk;
			char letter = missing ? 'q' : 'p';
			for (int k = 0; k < n; k++)
				refs.push_back(
				        missing == 2 ? nopename(nope++)
				                     : densename(letter,
				                                 pick(npages)));
		}
		if (!refs.empty())
			references(out, refs);
		else
			out += "<p>A leaf.</p>\n";
		out += "</body></html>\n";
		writepage(dir, densename('p', i), out);
		printf("%s\n", densename('p', i).c_str());
	}
}

// npages short pages in a ring, each with 40 links to pictures of its own
// in images/, which is missing or (cased) present as Images/ without them.
static void folder(const std::string &dir, int npages, int cased)
{
	makedir(dir);
	if (cased) {
		makedir(dir + "/Images");
		writepage(dir + "/Images", "cover.gif", "GIF89a");
	}
	for (int i = 0; i < npages; i++) {
		std::string out = "<html><body>\n";
		for (int k = 0; k < 40; k++)
			out += "<p>A line of the story.</p> <img "
			       "src=\"images/" +
			       densename('p', i).substr(0, 5) + "-" +
			       std::to_string(k) + ".gif\" alt=\"\">\n";
		out += "<a href=\"" + densename('p', (i + 1) % npages) +
		       "\">on</a>\n</body></html>\n";
		writepage(dir, densename('p', i), out);
		printf("%s\n", densename('p', i).c_str());
	}
}

int main(int argc, char **argv)
{
	if (argc < 3 || argc > 4) {
		fprintf(stderr, "usage: gentree kind directory [seed]\n");
		return 2;
	}
	std::string kind = argv[1], dir = argv[2];
	rngstate = argc == 4 ? strtoull(argv[3], nullptr, 10) : 1999;

	if (kind == "realistic")
		realistic(dir, 1023, 30000);
	else if (kind == "one-page")
		realistic(dir, 1, 30000);
	else if (kind == "big-page")
		realistic(dir, 1, 50000000);
	else if (kind == "dense")
		dense(dir, 1023, 100, 2000000, 0);
	else if (kind == "dense-missing")
		dense(dir, 1023, 100, 2000000, 1);
	else if (kind == "small-catalogue")
		dense(dir, 16, 16, 2000000, 0);
	else if (kind == "missing-dirs")
		dense(dir, 1023, 100, 20000, 2);
	else if (kind == "missing-folder")
		folder(dir, 1023, 0);
	else if (kind == "cased-folder")
		folder(dir, 1023, 1);
	else {
		fprintf(stderr, "gentree: unknown kind %s\n", kind.c_str());
		return 2;
	}
	return fflush(stdout) != 0 || ferror(stdout);
}
