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
//   modern           1023 pages of about 30 KB written as HTML is today:
//                    quoted attributes, class= and id= on most elements,
//                    links with #fragment, pictures in img/ (a few
//                    missing), inline style= and script blocks holding
//                    =, some long lines; plain links hold the tree
//                    together
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

// Writes npages pages into dir and prints their names: every page hangs
// below an earlier one, so that all are in the tree, and links besides to
// the root and four random pages.
static void writetree(const std::string &dir, int npages, size_t size,
                      std::string (*name)(int),
                      std::string (*page)(int, const std::vector<int> &,
                                          const std::vector<int> &, size_t))
{
	std::vector<std::vector<int>> children(npages);

	for (int i = 1; i < npages; i++)
		children[pick(i)].push_back(i);
	for (int i = 0; i < npages; i++) {
		std::vector<int> others = {0};
		for (int k = 0; k < 4; k++)
			others.push_back(pick(npages));
		writepage(dir, name(i), page(i, children[i], others, size));
		printf("%s\n", name(i).c_str());
	}
}

static void realistic(const std::string &dir, int npages, size_t size)
{
	std::string images = dir + "/images";

	makedir(dir);
	makedir(images);
	for (int i = 0; i < 20; i++) {
		char name[32];
		snprintf(name, sizeof name, "pic%d.gif", i);
		writepage(images, name, "GIF89a");
	}
	writepage(dir, "title.gif", "GIF89a");

	writetree(dir, npages, size, realisticname, prosepage);
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

static std::string modernname(int i)
{
	char buf[64];

	snprintf(buf, sizeof buf, "%04d-%s.html", i, titles[i % ntitles]);
	return buf;
}

static const char *const classes[] = {
        "para",   "lead",      "note",    "aside-text", "quote",
        "dialog", "whisper",   "em-soft", "highlight",  "muted",
        "small",  "text-wide", "inset",   "drop-cap",   "story-text",
};
constexpr int nclasses = sizeof classes / sizeof classes[0];

// img/ holds pic0.jpg to pic39.jpg; higher numbers are missing.
constexpr int modernpictures = 40;

// Words, now and then an inline element: a link to a page with or
// without a #fragment, a styled span, an external link, a picture.
static void modernprose(std::string &out, int len,
                        const std::vector<int> &targets, int self)
{
	char buf[512];
	int total = 0;

	while (total < len) {
		std::string w;
		int kind = pick(40);
		if (kind == 0) {
			std::string name =
			        modernname(targets[pick(targets.size())]);
			if (pick(3) != 0)
				snprintf(buf, sizeof buf,
				         "<a class=\"story-link\" "
				         "href=\"%s#s%d\">"
				         "%s %s</a>",
				         name.c_str(), 1 + pick(6),
				         words[pick(nwords)],
				         words[pick(nwords)]);
			else
				snprintf(buf, sizeof buf,
				         "<a href=\"%s\">%s</a>", name.c_str(),
				         words[pick(nwords)]);
			w = buf;
		} else if (kind == 1) {
			snprintf(buf, sizeof buf,
			         "<span class=\"%s\" style=\"color: #%06x; "
			         "font-style: italic\">%s %s</span>",
			         classes[pick(nclasses)], pick(0x1000000),
			         words[pick(nwords)], words[pick(nwords)]);
			w = buf;
		} else if (kind == 2 && pick(4) == 0) {
			snprintf(buf, sizeof buf,
			         "<a href=\"https://www.example.org/notes/%d?"
			         "ref=story&amp;page=%d\" rel=\"noopener\" "
			         "target=\"_blank\">%s</a>",
			         pick(500), self, words[pick(nwords)]);
			w = buf;
		} else if (kind == 3 && pick(2) == 0) {
			// now and then the book's own missing page
			if (pick(60) == 0)
				snprintf(buf, sizeof buf,
				         "<a href=\"%04d-draft.html\">%s</a>",
				         self, words[pick(nwords)]);
			else
				snprintf(buf, sizeof buf,
				         "<em class=\"em-soft\">%s</em>",
				         words[pick(nwords)]);
			w = buf;
		} else {
			w = words[pick(nwords)];
			if (pick(12) == 0)
				w += pick(2) ? "." : ",";
		}
		out += w;
		out += ' ';
		total += (int)w.size() + 1;
	}
}

// A paragraph: on one long line, as most editors write them, or wrapped
// and indented.
static void modernparagraph(std::string &out, const std::vector<int> &targets,
                            int self, int n)
{
	char buf[256];
	std::string text;

	modernprose(text, 300 + pick(900), targets, self);
	if (pick(6) == 0)
		snprintf(buf, sizeof buf,
		         "      <p class=\"%s\" id=\"p%d\" style=\"margin-top: "
		         "%.1fem\">",
		         classes[pick(nclasses)], n, 0.5 * (1 + pick(4)));
	else if (pick(3) != 0)
		snprintf(buf, sizeof buf, "      <p class=\"%s\" id=\"p%d\">",
		         classes[pick(nclasses)], n);
	else
		snprintf(buf, sizeof buf, "      <p>");
	out += buf;
	if (pick(2) == 0) {
		out += text;
	} else {
		size_t at = 0;
		while (at < text.size()) {
			size_t end = at + 90 < text.size()
			                     ? text.rfind(' ', at + 90)
			                     : text.size();
			if (end == std::string::npos || end <= at)
				end = text.size();
			out += "\n        ";
			out += text.substr(at, end - at);
			at = end + 1;
		}
		out += "\n      ";
	}
	out += "</p>\n";
}

static void modernfigure(std::string &out, int self)
{
	char buf[512];
	int missing = pick(25) == 0;

	snprintf(buf, sizeof buf,
	         "      <figure class=\"figure figure-%s\" id=\"fig%d\">\n"
	         "        <img class=\"figure-img\" src=\"img/pic%d.jpg\" "
	         "alt=\"%s %s\" width=\"%d\" height=\"%d\" loading=\"lazy\" "
	         "decoding=\"async\">\n"
	         "        <figcaption class=\"caption\">%s %s %s</figcaption>\n"
	         "      </figure>\n",
	         pick(2) ? "wide" : "inline", self,
	         missing ? modernpictures + pick(10) : pick(modernpictures),
	         words[pick(nwords)], words[pick(nwords)], 320 + 32 * pick(20),
	         200 + 20 * pick(20), words[pick(nwords)], words[pick(nwords)],
	         words[pick(nwords)]);
	out += buf;
}

// An inline script as a page of today carries: assignments, compares,
// one long minified line now and then.
static void modernscript(std::string &out, int self)
{
	char buf[1024];

	snprintf(buf, sizeof buf,
	         "    <script>\n"
	         "      var page = %d;\n"
	         "      var seen = JSON.parse(localStorage.getItem(\"seen\") "
	         "|| \"[]\");\n"
	         "      if (seen.indexOf(page) == -1) { seen.push(page); }\n"
	         "      localStorage.setItem(\"seen\", JSON.stringify(seen));\n"
	         "      document.querySelectorAll(\".choice a\").forEach("
	         "function (a) {\n"
	         "        var n = parseInt(a.dataset.page, 10);\n"
	         "        if (seen.indexOf(n) !== -1 && n != page) "
	         "a.classList.add(\"visited\");\n"
	         "      });\n"
	         "    </script>\n",
	         self);
	out += buf;
	if (pick(2) == 0) {
		out += "    <script>";
		for (int i = 0; i < 12; i++) {
			snprintf(buf, sizeof buf,
			         "function f%d(e){var "
			         "t=e.target,n=t.closest(\".%s\")"
			         ";if(n===null)return;n.hidden=!n.hidden;for("
			         "var "
			         "i=0;i<%d;i+=1){n.style.opacity=i/%d}}",
			         i, classes[pick(nclasses)], 4 + pick(8), 12);
			out += buf;
		}
		out += "</script>\n";
	}
}

// A page of today linking to the given children with plain links, which
// hold the tree together, and to others with and without a #fragment.
static std::string modernpage(int self, const std::vector<int> &children,
                              const std::vector<int> &others, size_t size)
{
	std::string out;
	char buf[1024];
	const char *title = titles[self % ntitles];

	snprintf(buf, sizeof buf,
	         "<!DOCTYPE html>\n"
	         "<html lang=\"en\">\n"
	         "  <head>\n"
	         "    <meta charset=\"utf-8\">\n"
	         "    <meta name=\"viewport\" content=\"width=device-width, "
	         "initial-scale=1\">\n"
	         "    <title>The %s, part %d</title>\n"
	         "    <meta name=\"description\" content=\"Part %d of the "
	         "story: the %s.\">\n"
	         "    <link rel=\"stylesheet\" href=\"css/site.css\">\n"
	         "    <link rel=\"icon\" type=\"image/png\" "
	         "href=\"img/icon.png\">\n"
	         "    <script src=\"js/story.js\" defer></script>\n"
	         "    <style>\n"
	         "      .chapter { max-width: 42em; margin: 0 auto; }\n"
	         "      .choice a[href$=\".html\"] { font-weight: bold; }\n"
	         "      a[target=\"_blank\"]::after { content: \" *\"; }\n"
	         "    </style>\n",
	         title, self, self, title);
	out += buf;
	modernscript(out, self);
	snprintf(buf, sizeof buf,
	         "  </head>\n"
	         "  <body class=\"page page-%s\" id=\"top\" data-page=\"%d\">\n"
	         "    <header class=\"site-header\" id=\"header\">\n"
	         "      <nav class=\"site-nav\" id=\"nav\" "
	         "aria-label=\"Chapters\">\n"
	         "        <a class=\"nav-link nav-home\" href=\"%s\">Home</a>\n"
	         "        <a class=\"nav-link\" href=\"%s#top\">Start</a>\n"
	         "        <a class=\"nav-link\" href=\"#choices\">Choices</a>\n"
	         "      </nav>\n"
	         "    </header>\n"
	         "    <main class=\"chapter\" id=\"chapter-%d\">\n"
	         "      <h1 class=\"chapter-title\" id=\"title\">The %s</h1>\n",
	         title, self, modernname(0).c_str(), modernname(0).c_str(),
	         self, title);
	out += buf;

	int n = 0, section = 0;
	while (out.size() < size - 1500) {
		if (n % 6 == 0) {
			if (section > 0)
				out += "      </section>\n";
			section++;
			snprintf(buf, sizeof buf,
			         "      <section class=\"scene\" id=\"s%d\">\n"
			         "      <h2 class=\"scene-title\">%s %s</h2>\n",
			         section, words[pick(nwords)],
			         words[pick(nwords)]);
			out += buf;
		}
		if (pick(8) == 0)
			modernfigure(out, self);
		modernparagraph(out, others, self, n++);
	}
	if (section > 0)
		out += "      </section>\n";
	out += "    </main>\n"
	       "    <aside class=\"choices\" id=\"choices\">\n"
	       "      <h2 class=\"choices-title\">Where now?</h2>\n"
	       "      <ul class=\"choice-list\">\n";
	for (int c : children) {
		snprintf(buf, sizeof buf,
		         "        <li class=\"choice\"><a href=\"%s\" "
		         "data-page=\"%d\">%s %s</a></li>\n",
		         modernname(c).c_str(), c, words[pick(nwords)],
		         words[pick(nwords)]);
		out += buf;
	}
	snprintf(buf, sizeof buf,
	         "      </ul>\n"
	         "    </aside>\n"
	         "    <footer class=\"site-footer\" id=\"footer\">\n"
	         "      <p class=\"small\">Written in the open. <a "
	         "href=\"https://www.example.org/license\" rel=\"license\">"
	         "Some rights reserved</a>.</p>\n"
	         "    </footer>\n"
	         "    <script type=\"application/ld+json\">{\"@context\":"
	         "\"https://schema.org\",\"@type\":\"Chapter\",\"name\":\"The "
	         "%s\",\"position\":%d,\"isPartOf\":{\"@type\":\"Book\","
	         "\"name\":\"The long road\",\"url\":\"https://www.example.org/"
	         "story/?part=%d&amp;view=full\"}}</script>\n"
	         "  </body>\n"
	         "</html>\n",
	         title, self, self);
	out += buf;
	return out;
}

static void modern(const std::string &dir, int npages, size_t size)
{
	makedir(dir);
	makedir(dir + "/img");
	makedir(dir + "/css");
	makedir(dir + "/js");
	for (int i = 0; i < modernpictures; i++) {
		char name[32];
		snprintf(name, sizeof name, "pic%d.jpg", i);
		writepage(dir + "/img", name, "JFIF");
	}
	writepage(dir + "/img", "icon.png", "PNG");
	writepage(dir + "/css", "site.css", "body { margin: 0; }\n");
	writepage(dir + "/js", "story.js", "var story = 1;\n");

	writetree(dir, npages, size, modernname, modernpage);
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
	else if (kind == "modern")
		modern(dir, 1023, 30000);
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
