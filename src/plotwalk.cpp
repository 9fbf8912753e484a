// plotwalk: verify a hyperfiction story tree.
//
// Lists the HTML files of a directory, follows the links from the root
// page through every page it reaches, reports each link whose target
// cannot be found, and ends with a verdict on which HTML files belong to
// the tree.  Every report line ends in CR LF.
//
// Exit status: 0 when the help text or a verdict was printed; 1 when the
// run ended on an error message or the report could not be written.  A
// failed allocation or close aborts.
//
// Where a fast path stands beside the simplest function that does the
// same, a paragraph names that twin and the test that holds the two equal.
#include "plotwalk.h"

#include <errno.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <bit>

#include "host.h"
#include "text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

char fullname[namesize];
int fullnamelen;
char dirname[namesize];
int dirnamelen;
char rootname[namesize];
flistentry flist[flistsize];
int flistentries;
const walkobserver *observer;

// The page being scanned, for an observer: its catalogue position and
// the file, whose lines are counted.
static int scanentry;
static hostfile *scanfile;

// Hash index over the sorted catalogue: each slot holds the lowest
// position of a name under letter-case folding, plus one, or 0 for none,
// with that name's whole hash and length, so that most slots of other
// names are passed over unread.
constexpr int indexsize = 4096;
static_assert((indexsize & (indexsize - 1)) == 0, "a mask picks the slot");
static_assert(indexsize >= 4 * flistsize, "the index stays a quarter full");
static_assert(entrynamesize <= 256, "a slot keeps a name's length in a byte");
struct indexslot {
	unsigned hash;
	uint16_t at;
	uint8_t len;
};
static indexslot flistindex[indexsize];
static int indexedentries = -1; // the count of names indexed
static int indexused;           // whether any slot may be filled

// What unquoted values name, by their text: links repeat, and a value
// met before costs no cutting and no lookup.  The bytes after an equals
// sign that begin with an entry's value, then white space or '>', are
// that value.  Valid for the catalogue as indexed; only as much of it is
// used as the catalogue needs, so that a small story touches few memory
// pages.
constexpr int memomaxbits = 12;
constexpr int memosize = 1 << memomaxbits;
constexpr int memominbits = 8;
static_assert(memosize >= 4 * flistsize, "the memo stays a quarter full");
typedef unsigned char bytes16 __attribute__((vector_size(16)));
static_assert(linepad >= (int)sizeof(bytes16),
              "sixteen bytes read from a piece's end stay in its buffer");
static_assert(linesize % sizeof(bytes16) == 0,
              "sixteen bytes read from a piece's start stay in its buffer");
constexpr int memolen = sizeof(bytes16); // longest value remembered
struct memoentry {
	bytes16 text;     // the value, then what followed it
	uint16_t *status; // the status of the page it names, or nullptr
	uint16_t bytes;   // a bit for each byte of the value
	uint8_t len;      // the value's length; 0 for an unused entry
};
static memoentry memo[memosize];
static int memoused;                     // whether any entry may be in use
static int memoshift = 64 - memominbits; // picks an entry from a hash

// Missing links' report lines on their way to stdout, handed on when
// full and when a page's scan ends.  Whatever else the module prints goes
// through say() or fail(), which hand these lines on first, so that the
// report keeps its order: nothing may printf while lines wait here.
constexpr int reportsize = 32768;
static_assert(reportsize >= leadsize + joinedsize + 3,
              "the longest report line fits");
static char reportbuf[reportsize];
static int reportlen;

static const char *const helpkeys[] = {"h", "help", "-h", "-help", "?", "-?"};

static const char *const helptext[] = {
        "Usage 1: plotwalk",
        "Usage 2: plotwalk directory",
        "Usage 3: plotwalk root-file-name",
        "",
        "This program verifies a hyperfiction tree, starting with a \"root\" "
        "file.",
        "For Usage 1, the current directory will be used, and the first .htm "
        "or .html",
        "file will be used as the root file name.",
        "For Usage 2, any argument that doesn't end in .htm or .html will be "
        "assumed",
        "to be a directory, and the first .htm or .html file in that directory",
        "will be used as the root file name.",
        "For Usage 3, the .htm or .html file given as the argument will be "
        "used as the",
        "root file name.  If no directory is specified within this name, the "
        "current",
        "directory will be assumed.",
};

// White space as the POSIX locale has it: blank, tab, LF, VT, FF, CR.
static constexpr int iswhite(char c)
{
	return c == ' ' || (c >= '\t' && c <= '\r');
}

// Hands the buffered report lines to stdout.
static void flushreport()
{
	if (reportlen > 0)
		fwrite(reportbuf, 1, reportlen, stdout);
	reportlen = 0;
}

// Prints a line of the report after the lines that wait in the buffer.
__attribute__((format(printf, 1, 2))) static void say(const char *format, ...)
{
	va_list ap;

	flushreport();
	va_start(ap, format);
	vprintf(format, ap);
	va_end(ap);
}

// Ends the run; a report that could not be written is no success.
[[noreturn]] static void finish(int status)
{
	flushreport();
	if (fflush(stdout) != 0 || ferror(stdout))
		status = 1;
	exit(status);
}

// A run-ending message as an observer is told it: the text of its report
// line without the blanks and line ends around it.
constexpr int messagesize = pagepathsize + 80;

// The text between the white space that begins and ends message.
static const char *trimmed(char *message)
{
	int end = (int)strlen(message);

	while (end > 0 && iswhite(message[end - 1]))
		message[--end] = '\0';
	while (iswhite(*message))
		message++;
	return message;
}

// Prints the message that ends the run on an error, and ends it; an
// observer is told the message instead.
[[noreturn]] __attribute__((format(printf, 1, 2))) static void
fail(const char *format, ...)
{
	char message[messagesize];
	va_list ap;

	va_start(ap, format);
	if (observer == nullptr) {
		flushreport();
		vprintf(format, ap);
	} else {
		vsnprintf(message, sizeof message, format, ap);
	}
	va_end(ap);
	if (observer != nullptr)
		observer->fail(trimmed(message));
	finish(1);
}

// Ends the run abnormally, keeping the report printed so far; an
// observer is told instead.
[[noreturn]] void die()
{
	if (observer != nullptr)
		observer->fail("memory or file descriptors ran out, or a "
		               "file did not close");
	flushreport();
	fflush(stdout);
	abort();
}

// Copies len bytes of src into buf as text; 0 when they do not fit.
static int settext(char *buf, int size, const char *src, int len)
{
	if (len < 0 || len >= size)
		return 0;
	memcpy(buf, src, len);
	buf[len] = '\0';
	return 1;
}

// Empties the memo; one never used is left untouched, as are its memory
// pages.
static void forgetmemo()
{
	if (memoused)
		memset(memo, 0, sizeof memo);
	memoused = 0;
}

void resetstate()
{
	memset(fullname, 0, sizeof fullname);
	memset(dirname, 0, sizeof dirname);
	memset(rootname, 0, sizeof rootname);
	memset(flist, 0, sizeof flist);
	fullnamelen = 0;
	dirnamelen = 0;
	flistentries = 0;
	indexedentries = -1;
	forgetmemo();
	reportlen = 0;
	observer = nullptr;
}

int helpme(int argc, char **argv)
{
	int help = argc > 2;

	if (argc == 2)
		for (const char *key : helpkeys)
			if (strcmp(argv[1], key) == 0)
				help = 1;
	if (!help)
		return 0;
	for (const char *line : helptext)
		say("%s%c%c", line, 13, 10);
	return 1;
}

// A name counts as HTML when ".htm" or ".HTM" stands in it letter for
// letter, anywhere.
int ishtmlname(const char *name)
{
	return strstr(name, ".htm") || strstr(name, ".html") ||
	       strstr(name, ".HTM") || strstr(name, ".HTML");
}

// Sets fullname, dirname and rootname from the command line.
void resolvetarget(int argc, char **argv)
{
	const char *split;

	fullname[0] = dirname[0] = rootname[0] = '\0';
	if (argc == 1) {
		settext(fullname, namesize, ".", 1);
		settext(dirname, namesize, ".", 1);
		fullnamelen = dirnamelen = 1;
	} else if (argc == 2) {
		fullnamelen = (int)strnlen(argv[1], namesize);
		if (!settext(fullname, namesize, argv[1], fullnamelen) ||
		    fullnamelen == 0) {
			fullname[0] = '\0';
			fail("  Unable to use that argument.  For help, use "
			     "'plotwalk -h'.%c%c",
			     13, 10);
		}
	} else {
		fail("  Unable to proceed.  For help, use 'plotwalk -h'.%c%c",
		     13, 10);
	}

	if (ishtmlname(fullname)) {
		// a slash anywhere wins over every backslash
		split = strrchr(fullname, '/');
		if (split == nullptr)
			split = strrchr(fullname, '\\');
		if (split != nullptr) {
			dirnamelen = (int)(split - fullname) + 1;
			settext(dirname, namesize, fullname, dirnamelen);
			settext(rootname, namesize, split + 1,
			        fullnamelen - dirnamelen);
		} else {
			dirnamelen = 1;
			settext(dirname, namesize, ".", 1);
			settext(rootname, namesize, fullname, fullnamelen);
		}
	} else {
		dirnamelen = fullnamelen;
		settext(dirname, namesize, fullname, fullnamelen);
		settext(rootname, namesize, ".", 1);
	}

	// One trailing separator goes, but a drive root or bare drive stays.
	if (dirnamelen == 3 && dirname[1] == ':' && isseparator(dirname[2]))
		return;
	if (dirnamelen == 2 && dirname[1] == ':')
		return;
	if (dirnamelen > 0 && isseparator(dirname[dirnamelen - 1]))
		dirname[--dirnamelen] = '\0';
}

// Positions of records in sorted order, and room to merge them in.
static int16_t sortorder[flistsize];
static int16_t sortspare[flistsize];

// Merges the sorted runs from[lo, mid) and from[mid, hi) into to; on
// equal names the left run goes first, so equal names keep their order.
static void mergeruns(const flistentry *list, const int16_t *from, int16_t *to,
                      int lo, int mid, int hi)
{
	int i = lo, j = mid;

	for (int k = lo; k < hi; k++)
		if (j < hi && (i == mid || strcmp(list[from[j]].name,
		                                  list[from[i]].name) < 0))
			to[k] = from[j++];
		else
			to[k] = from[i++];
}

// Sorts the first count records in place, ascending in byte order, with
// equal names left in their order.  A merge sort of their positions,
// since exchanging records is O(n^2); then every record is moved once to
// its place, cycle by cycle, through one record-sized temporary.
void brutesort(flistentry *list, int count)
{
	int16_t *order = sortorder, *spare = sortspare;

	// the position arrays hold a whole catalogue and no more
	if (count > flistsize)
		die();
	for (int i = 0; i < count; i++)
		order[i] = (int16_t)i;
	for (int width = 1; width < count; width *= 2) {
		for (int lo = 0; lo < count; lo += 2 * width) {
			int mid = lo + width, hi = lo + 2 * width;
			if (mid > count)
				mid = count;
			if (hi > count)
				hi = count;
			mergeruns(list, order, spare, lo, mid, hi);
		}
		int16_t *t = order;
		order = spare;
		spare = t;
	}

	// position i takes the record at order[i]; a placed one is marked
	// by order[i] == i
	for (int i = 0; i < count; i++) {
		if (order[i] == i)
			continue;
		flistentry t = list[i];
		int j = i;
		while (order[j] != i) {
			int from = order[j];
			list[j] = list[from];
			order[j] = (int16_t)j;
			j = from;
		}
		list[j] = t;
		order[j] = (int16_t)j;
	}
}

// Whether two names are equal with letter case ignored.
static int namesmatch(const char *a, const char *b)
{
	size_t len = strlen(a);

	return strlen(b) == len && foldequal(a, b, (int)len);
}

// The lowest position whose name equals the given one, letter case
// ignored; -1 when none does.
int indexofname(const flistentry *list, const char *name, int count)
{
	for (int i = 0; i < count; i++)
		if (namesmatch(list[i].name, name))
			return i;
	return -1;
}

// Fast twin of indexofname over the whole catalogue: findname, through
// the hash index.  catalogue.twins and catalogue.manynames in
// tests/unit/catalogue_test.cpp hold the two equal on every name they
// look up.

// Indexes flist as it stands; a name whose folded form is already there
// keeps the earlier, lower position.  The memo, valid for one index, is
// emptied and sized for the catalogue.
static void buildindex()
{
	if (indexused)
		memset(flistindex, 0, sizeof flistindex);
	indexused = 1;
	for (int i = 0; i < flistentries; i++) {
		int len = (int)strlen(flist[i].name);
		unsigned whole = hashfolded(flist[i].name, len);
		unsigned h = whole & (indexsize - 1);
		while (flistindex[h].at != 0 &&
		       !namesmatch(flist[flistindex[h].at - 1].name,
		                   flist[i].name))
			h = nextslot(h, indexsize - 1);
		if (flistindex[h].at == 0)
			flistindex[h] = indexslot{whole, (uint16_t)(i + 1),
			                          (uint8_t)len};
	}
	indexedentries = flistentries;
	forgetmemo();
	int bits = memominbits;
	while ((1 << bits) < 4 * flistentries)
		bits++;
	memoshift = 64 - bits;
}

// indexofname over the whole catalogue for the len bytes at name.  The
// catalogue is indexed as it is read; tests that fill it by hand have it
// indexed again when its count changes.
int findname(const char *name, int len)
{
	if (indexedentries != flistentries)
		buildindex();
	unsigned hash = hashfolded(name, len);
	for (unsigned h = hash & (indexsize - 1); flistindex[h].at != 0;
	     h = nextslot(h, indexsize - 1)) {
		const indexslot &slot = flistindex[h];
		if (slot.hash == hash && slot.len == len &&
		    foldequal(flist[slot.at - 1].name, name, len))
			return slot.at - 1;
	}
	return -1;
}

// Fills the catalogue from dirname, sorted, and chooses the root when the
// argument named none.
void listcatalogue()
{
	const char *name;
	hostdir *dir;
	int len;

	errno = 0;
	dir = hostopendir(dirname);
	if (errno == ENOENT)
		fail("  The directory %s doesn't exist.  Aborting.%c%c",
		     dirname, 13, 10);
	if (errno != 0 || dir == nullptr)
		fail("  Unable to read directory %s.  Aborting.%c%c", dirname,
		     13, 10);

	flistentries = 0;
	while ((name = hostreaddir(dir)) != nullptr) {
		if (!ishtmlname(name))
			continue;
		len = (int)strlen(name);
		if (!settext(flist[flistentries].name, entrynamesize, name,
		             len))
			fail("  Unable to process file names longer than 127 "
			     "characters%c%c",
			     13, 10);
		flist[flistentries].status = unreached;
		if (++flistentries > flistmax)
			fail("  Unable to process more than 1023 HTML "
			     "files%c%c",
			     13, 10);
	}
	hostclosedir(dir);

	brutesort(flist, flistentries);
	buildindex();
	if (strcmp(rootname, ".") == 0) {
		const char *first = flistentries > 0 ? flist[0].name : "";
		settext(rootname, namesize, first, (int)strlen(first));
	}
}

// Fills the catalogue and prints the opening report lines.
void readcatalogue()
{
	listcatalogue();
	say("  As entered for verification: %s%c%c", fullname, 13, 10);
	say("%c%c", 13, 10);
	say("  %d HTML files found in directory %s%c%c", flistentries, dirname,
	    13, 10);
	say("%c%c", 13, 10);
}

// What the reference cutter must notice about a byte.
constexpr int endsbare = 1;   // white space, '>' or the end of the text
constexpr int endsquoted = 2; // a double quote or the end of the text
constexpr int colon = 4;
constexpr int separator = 8;
constexpr int slash = 16; // turned into a backslash
constexpr int noted = endsbare | endsquoted | colon | separator;

struct classtable {
	uint8_t of[256];
};

static constexpr classtable makeclasstable()
{
	classtable t{};

	for (int c = 0; c < 256; c++) {
		if (c == '\0' || c == '>' || iswhite((char)c))
			t.of[c] |= endsbare;
		if (c == '\0' || c == '"')
			t.of[c] |= endsquoted;
		if (c == ':')
			t.of[c] |= colon;
		if (isseparator((char)c))
			t.of[c] |= separator;
		if (c == '/')
			t.of[c] |= slash;
	}
	return t;
}

// One table lookup per byte instead of a chain of comparisons.
static constexpr classtable charclass = makeclasstable();

// Finds the value that follows the equals sign at text as getworkfile
// describes, turning its slashes into backslashes in text itself.
// Returns its length, or 0 when there is none.
int cut(char *text, cutvalue *v)
{
	int i = 1, quoted = 0, seen = 0;

	*v = cutvalue{};
	if (text[0] == '\0')
		return 0;
	while (iswhite(text[i]))
		i++;
	if (text[i] == '"') {
		// the character after the opening quote is taken as it is; a
		// quote that ends the text leaves the value open
		if (text[i + 1] == '\0')
			return 0;
		quoted = 1;
		i++;
		seen = charclass.of[(unsigned char)text[i++]];
	}
	v->start = quoted ? i - 1 : i;
	int ends = quoted ? endsquoted : endsbare;
	char *p = text + i;
	for (;;) {
		// most bytes are none of the few that matter
		int k;
		while (!((k = charclass.of[(unsigned char)*p]) & noted))
			p++;
		if (k & ends)
			break;
		if (k & slash)
			*p = '\\';
		seen |= k;
		p++;
	}
	if (quoted && *p != '"')
		return 0;
	v->len = (int)(p - text) - v->start;
	v->hascolon = (seen & colon) != 0;
	v->hasseparator = (seen & separator) != 0;
	return v->len;
}

// Cuts the reference that follows the equals sign at text into ref.
// Slashes in the value are turned into backslashes in text itself.
// Returns the reference's length, or 0 when there is none or it does
// not fit in size bytes.
int getworkfile(char *ref, int size, char *text)
{
	cutvalue v;
	int n = cut(text, &v);

	if (n >= size)
		n = 0;
	memcpy(ref, text + v.start, n);
	ref[n] = '\0';
	return n;
}

// Fast twins of cut() for the scanner, sixteen bytes at a time:
// unquotedvalue for an unquoted value, quotedvalue for a quoted one.
// unquotedvalue.agreeswithcut in tests/unit/reference_test.cpp holds the
// three equal.

// Bit i set where byte i of v has its top bit set; one instruction where
// the processor has it.
static unsigned topbits(bytes16 v)
{
#if defined(__SSE2__)
	return (unsigned)_mm_movemask_epi8((__m128i)v);
#else
	unsigned bits = 0;
	for (int i = 0; i < 16; i++)
		bits |= (unsigned)(v[i] >> 7) << i;
	return bits;
#endif
}

static bytes16 load16(const char *p)
{
	bytes16 v;

	memcpy(&v, p, sizeof v);
	return v;
}

// Bit i set where byte i of the sixteen at p may end an unquoted value:
// white space and the other control bytes, '>', a double quote, and what
// cut() must note, ':', '/' and '\\'.
static unsigned stopbits(const char *p)
{
	bytes16 v = load16(p);

	return topbits((bytes16)((v <= ' ') | (v == '>') | (v == '"') |
	                         (v == ':') | (v == '/') | (v == '\\')));
}

// The length of the value after the equals sign at line[e] when it is an
// unquoted name of less than 64 bytes that ends in white space, '>' or the
// end of the piece, as most are; 0 when cut() must look.  Reads sixteen
// bytes at a time up to the piece's end, so line has room for linepad
// bytes past it.
int unquotedvalue(const char *line, int e)
{
	const char *p = line + e + 1;

	for (int at = 0; at < 64; at += 16) {
		unsigned stops = stopbits(p + at);
		if (stops == 0)
			continue;
		int len = at + std::countr_zero(stops);
		if (len == 0 ||
		    !(charclass.of[(unsigned char)p[len]] & endsbare))
			return 0;
		return len;
	}
	return 0;
}

// cut() for the equals sign at line[e] when a double quote follows it,
// sixteen bytes at a time: the same value, notes and slashes turned into
// backslashes.  Reads up to the piece's end, so line has room for linepad
// bytes past it.
int quotedvalue(char *line, int e, cutvalue *v)
{
	// the character after the opening quote is taken as it is
	char *p = line + e + 2;
	int seen = charclass.of[(unsigned char)p[0]];

	if (p[0] == '\0')
		return 0;
	for (int at = 1;; at += 16) {
		bytes16 c = load16(p + at);
		unsigned bits =
		        topbits((bytes16)((c == '"') | (c == 0) | (c == ':') |
		                          (c == '/') | (c == '\\')));
		for (; bits != 0; bits &= bits - 1) {
			int i = at + std::countr_zero(bits);
			int k = charclass.of[(unsigned char)p[i]];
			if (k & endsquoted) {
				if (p[i] != '"')
					return 0;
				*v = cutvalue{2, i, (seen & colon) != 0,
				              (seen & separator) != 0};
				return i;
			}
			if (k & slash)
				p[i] = '\\';
			seen |= k;
		}
	}
}

// Appends src to the n bytes of path, slashes turned into backslashes and
// double quotes left out, as far as size allows; the new length.  Runs
// between those two characters go by memcpy rather than a byte at a time.
static int appendjoined(char *path, int n, int size, const char *src)
{
	for (;;) {
		int run = (int)strcspn(src, "/\"");
		if (run > size - 1 - n)
			run = size - 1 - n;
		memcpy(path + n, src, run);
		n += run;
		src += run;
		if (*src == '\0' || n >= size - 1)
			break;
		if (*src++ == '/')
			path[n++] = '\\';
	}
	path[n] = '\0';
	return n;
}

// Joins dirname, a backslash and ref into path, with slashes turned into
// backslashes and double quotes left out.  Returns the path's length; a
// joinedsize buffer always holds dirname and a refsize reference.
int expandworkfile(const char *ref, char *path, int size)
{
	int n = appendjoined(path, 0, size, dirname);

	n = appendjoined(path, n, size, "\\");
	return appendjoined(path, n, size, ref);
}

// Fast twin of printf(missingformat, ...) for the report of a link that
// cannot be found: missinglead makes the part before the name once per
// page, missingline the whole line, reportmissing buffers it.
// missingline.sameasformat in tests/unit/reference_test.cpp holds them
// equal.
const char missingformat[] = "  In %s, can't find linked file %s.%c%c";
static constexpr char missingin[] = "  In ";
static constexpr char missingwords[] = ", can't find linked file ";
constexpr int missingwordslen = sizeof missingin - 1 + sizeof missingwords - 1;
static_assert(leadsize > pagepathsize + missingwordslen,
              "a page path and the words around it fit a lead");

// The part of the missing link's line before the name; its length, or 0
// when it does not fit in size bytes.
int missinglead(char *lead, int size, const char *page)
{
	int pagelen = (int)strlen(page);

	if (pagelen + missingwordslen >= size)
		return 0;
	memcpy(lead, missingin, sizeof missingin - 1);
	memcpy(lead + sizeof missingin - 1, page, pagelen);
	memcpy(lead + sizeof missingin - 1 + pagelen, missingwords,
	       sizeof missingwords);
	return pagelen + missingwordslen;
}

// Puts the lead, text of leadlen bytes, then namelen bytes of name, the
// full stop and the line end into line; the line's length, or 0 when it
// does not fit in size bytes.
int missingline(char *line, int size, const char *lead, int leadlen,
                const char *name, int namelen)
{
	if (leadlen + namelen + 3 > size)
		return 0;
	memcpy(line, lead, leadlen);
	memcpy(line + leadlen, name, namelen);
	memcpy(line + leadlen + namelen, ".\r\n", 3);
	return leadlen + namelen + 3;
}

// Adds a missing link's line to the buffered report.
static void reportmissing(const char *lead, int leadlen, const char *name,
                          int namelen)
{
	int n = missingline(reportbuf + reportlen, reportsize - reportlen, lead,
	                    leadlen, name, namelen);
	if (n == 0) {
		flushreport();
		n = missingline(reportbuf, reportsize, lead, leadlen, name,
		                namelen);
	}
	reportlen += n;
}

// Whether the joined path opens for reading; one too long to open is a
// file not found.
static int probe(const char *path, int len)
{
	return len <= maxpathlen && hostcanopen(path, len);
}

// Fast twin of the search for the next equals sign with strchr:
// maskpiece finds them all in one pass over the piece.
// unquotedvalue.agreeswithcut holds it to the bytes of the piece.

// Fills equals with one bit per byte of the piece of len bytes at line,
// set where an equals sign stands.  All linesize bytes are read, sixteen
// at a time, and what follows the NUL, left over from earlier pieces, is
// masked off after.
void maskpiece(const char *line, int len, uint64_t *equals)
{
	for (int w = 0; w < piecewords; w++) {
		uint64_t bits = 0;
		for (int k = 0; k < 4; k++) {
			bytes16 v = load16(line + 64 * w + 16 * k);
			bits |= (uint64_t)topbits((bytes16)(v == '='))
			        << 16 * k;
		}
		int keep = len - 64 * w;
		equals[w] = keep >= 64  ? bits
		            : keep <= 0 ? 0
		                        : bits & (~0ull >> (64 - keep));
	}
}

// Fast twin of cutting an unquoted value and looking it up with findname:
// recall from the memo.  catalogue.memorecall in
// tests/unit/catalogue_test.cpp holds the two equal.

// The memo entry for the text after an equals sign, chosen by its first
// eight bytes: a value shorter than that has a few bytes after it in
// the choice too, and is found again only where they recur.
static memoentry &memoslot(const char *p)
{
	uint64_t w;

	memcpy(&w, p, 8);
	return memo[(w * 0x9e3779b97f4a7c15ull) >> memoshift];
}

// Whether the text at p is the value of entry m, which white space or
// '>' ends: its first m.len bytes are the entry's, and the bytes after
// them are no matter.
static int recalls(const memoentry &m, const char *p)
{
	unsigned same = topbits((bytes16)(load16(p) == m.text));

	return m.len != 0 && (~same & m.bytes) == 0 &&
	       (charclass.of[(unsigned char)p[m.len]] & endsbare);
}

// Remembers the unquoted value of len bytes right after an equals sign at
// value, with the status of the page it names.
static void remember(const char *value, int len, uint16_t *status)
{
	if (len > memolen)
		return;
	memoslot(value) = memoentry{load16(value), status,
	                            (uint16_t)((1u << len) - 1), (uint8_t)len};
	memoused = 1;
}

// The catalogue position of the entry whose status is given, or -1.
static int entryof(const uint16_t *status)
{
	if (status == nullptr)
		return -1;
	return (int)((const flistentry *)((const char *)status -
	                                  offsetof(flistentry, status)) -
	             flist);
}

// Tells the observer of a link in the page being scanned: its value of
// len bytes, what a report line would name, and what it found.
//
// The steps of the scanner from here on come in two, by their template
// argument told: with an observer to tell, or making report lines, so
// that plotwalk's own path has no test for an observer at every link.
static void tell(linkfound found, const char *value, int len,
                 const char *target, int targetlen, const uint16_t *status)
{
	walklink link = {.page = scanentry,
	                 .line = hostfline(scanfile),
	                 .text = value,
	                 .textlen = len,
	                 .target = target,
	                 .targetlen = targetlen,
	                 .found = found,
	                 .entry = entryof(status)};
	observer->link(&link);
}

// Marks the page whose status is given as reached, or reports the value
// of len bytes that named it when there is none; an observer is told
// either way, and no report line is made.
template <bool told>
static void reach(uint16_t *status, const char *value, int len,
                  const char *lead, int leadlen)
{
	if constexpr (told)
		tell(status != nullptr ? linkpage : linknopage, value, len,
		     value, len, status);
	if (status != nullptr)
		// a store either way: which one is hard to foresee
		*status = *status == scanned ? scanned : pending;
	else if constexpr (!told)
		reportmissing(lead, leadlen, value, len);
}

// Follows a value with a directory part, of len bytes at value: probes
// the path it joins.
template <bool told>
static void followpath(const char *value, int len, const char *lead,
                       int leadlen)
{
	char ref[refsize], joined[joinedsize];

	settext(ref, refsize, value, len);
	int n = expandworkfile(ref, joined, joinedsize);
	int found = probe(joined, n);
	if constexpr (told)
		tell(found ? linkfile : linknofile, value, len, joined, n,
		     nullptr);
	else if (!found)
		reportmissing(lead, leadlen, joined, n);
}

// The status of the page that the bare name of len bytes at value names,
// or nullptr for none.
static uint16_t *statusof(const char *value, int len)
{
	int pos = findname(value, len);

	return pos < 0 ? nullptr : &flist[pos].status;
}

// Follows the reference after the equals sign at line[e]: marks the page
// a bare name names, probes a path with a directory part, and reports
// what it cannot find.  Returns how far the search for the next equals
// sign moves on, or 0 when the rest of the piece is dropped.
template <bool told>
static int followat(char *line, int e, const char *lead, int leadlen)
{
	char *after = line + e + 1;
	cutvalue v;
	int len;

	if (*after == '"') {
		len = quotedvalue(line, e, &v);
	} else {
		const memoentry &m = memoslot(after);
		if (recalls(m, after)) {
			reach<told>(m.status, after, m.len, lead, leadlen);
			return m.len;
		}
		len = unquotedvalue(line, e);
		if (len > 0) {
			uint16_t *status = statusof(after, len);
			remember(after, len, status);
			reach<told>(status, after, len, lead, leadlen);
			return len;
		}
		len = cut(line + e, &v);
	}
	if (len <= 0 || v.hascolon)
		return len;
	const char *value = line + e + v.start;
	if (v.hasseparator)
		followpath<told>(value, len, lead, leadlen);
	else
		reach<told>(statusof(value, len), value, len, lead, leadlen);
	return len;
}

// Follows the references of one piece of a page, which has room for
// linesize + linepad bytes.
template <bool told>
static void scanpiece(char *line, const char *lead, int leadlen)
{
	uint64_t equals[piecewords];
	int from = 0;

	maskpiece(line, (int)strlen(line), equals);
	// the equals signs in turn, each found apart from the value before
	// it, so that one reference need not wait for the last one's end
	for (int w = 0; w < piecewords; w++)
		for (uint64_t b = equals[w]; b != 0; b &= b - 1) {
			int e = w * 64 + std::countr_zero(b);
			// the search goes on from the equals sign moved on by
			// the reference's length, which may land in the value
			if (e < from)
				continue;
			int len = followat<told>(line, e, lead, leadlen);
			if (len <= 0)
				return;
			from = e + len;
		}
}

// Scans one catalogued page: marks the pages its bare-name links reach,
// probes links with a directory part, and reports what it cannot find.
void plotwalk(const char *name)
{
	char lead[leadsize];
	int pos = findname(name, (int)strlen(name));
	if (pos < 0)
		return;
	flist[pos].status = scanned;

	size_t dirlen = strlen(dirname), namelen = strlen(name);
	char *page = (char *)malloc(dirlen + namelen + 2);
	if (page == nullptr)
		die();
	memcpy(page, dirname, dirlen);
	page[dirlen] = '\\';
	memcpy(page + dirlen + 1, name, namelen + 1);

	hostfile *file = hostfopen(page);
	if (file == nullptr)
		fail("%c%c  Can't open %s%c%c", 13, 10, page, 13, 10);
	if (observer != nullptr) {
		hostfcountlines(file);
		scanentry = pos;
		scanfile = file;
	}
	// word loads may read a value's neighbours past the piece's end
	char *line = (char *)calloc(1, linesize + linepad);
	if (line == nullptr)
		die();
	int leadlen = missinglead(lead, leadsize, page);

	// a piece of a line without an equals sign holds no reference
	if (observer == nullptr)
		while (hostfgetswith(line, linesize, file, '=') != nullptr)
			scanpiece<false>(line, lead, leadlen);
	else
		while (hostfgetswith(line, linesize, file, '=') != nullptr)
			scanpiece<true>(line, lead, leadlen);

	flushreport();
	free(line);
	if (hostfclose(file) != 0)
		die();
	free(page);
}

// The root's catalogue position; the run ends when it is not there.
int findroot()
{
	int root = indexofname(flist, rootname, flistentries);

	if (root < 0)
		fail("  The chosen root file name is not in the directory.%c%c",
		     13, 10);
	return root;
}

// Scans the pending pages in passes over the catalogue until none is left.
void walkpending()
{
	for (int again = 1; again;) {
		again = 0;
		for (int i = 0; i < flistentries; i++)
			if (flist[i].status == pending) {
				plotwalk(flist[i].name);
				again = 1;
			}
	}
}

// Walks the tree from the root in passes until none is pending, then
// prints the verdict.
void walktree()
{
	flist[findroot()].status = pending;
	walkpending();

	say("%c%c", 13, 10);
	int treecount = 0;
	for (int i = 0; i < flistentries; i++)
		treecount += flist[i].status;
	if (treecount == flistentries) {
		say("  All HTML files found in the directory are part of "
		    "the%c%c",
		    13, 10);
		say("  story tree with root %s.%c%c", rootname, 13, 10);
		return;
	}
	say("  %d HTML files found in the directory are part of the%c%c",
	    treecount, 13, 10);
	say("  story tree with root %s.%c%c", rootname, 13, 10);
	say("%c%c", 13, 10);
	for (int i = 0; i < flistentries; i++)
		if (flist[i].status == unreached)
			say("  %s is in the directory, but is not part of the "
			    "tree%c%c",
			    flist[i].name, 13, 10);
}

int main(int argc, char **argv)
{
	hostbufferoutput();
	say("%c%c", 13, 10);
	say("Tellomar v1999.10 story tree verification program%c%c%c%c", 13, 10,
	    13, 10);
	if (helpme(argc, argv))
		finish(0);
	resolvetarget(argc, argv);
	readcatalogue();
	walktree();
	finish(0);
}
