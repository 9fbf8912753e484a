// The text-mode reader of pages and linked files: CR LF as LF, a Ctrl-Z
// ends the text, and a file yields at most the size it had when it was
// opened.  Blocks are read whole; hostfgetswith finds the next piece that
// holds a byte by searching the block for it, and passes over the pieces
// before it without copying them.  A file whose lines are counted counts
// the pieces it delivers that end a line, and the LFs of what it passes
// over.
#include "unix.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

constexpr int readsize = 65536;
constexpr int carrysize = 256; // longest piece passed over across blocks

// The LFs from p to end.
static int countlf(const char *p, const char *end)
{
	int n = 0;

	while ((p = (const char *)memchr(p, '\n', end - p)) != nullptr) {
		n++;
		p++;
	}
	return n;
}

// Adds the LFs of the block before data + upto to lines, when they are
// counted.
static void countto(hostfile *f, int upto)
{
	if (!f->countlines)
		return;
	f->lines += countlf(f->data + f->counted, f->data + upto);
	f->counted = upto;
}

// Notes the line of a piece that begins at data + at.
static void startpiece(hostfile *f, int at)
{
	countto(f, at);
	f->line = f->lines + 1;
}

// Notes the end of a piece delivered, at data + pos, which ends a line
// when it ends in a LF, as it holds no other: only the bytes passed over
// are searched for LFs.
static void endpiece(hostfile *f, int lf)
{
	f->counted = f->pos;
	f->lines += lf;
}

// Reads the next block after the col bytes of the piece passed over so
// far, which stay in front of it, and ends the text at a Ctrl-Z; 0 at
// the end of the text or after an error.  CR LF pairs are left as they
// are for readpiece, which meets every one at the end of a line.
static int refill(hostfile *f)
{
	ssize_t r = 0;

	if (f->eof)
		return 0;
	if (f->data == nullptr)
		f->data = (char *)xmalloc(carrysize + readsize);
	// the bytes carried over hold no LF
	countto(f, f->len - f->col);
	f->counted = 0;
	memmove(f->data, f->data + f->len - f->col, f->col);
	f->pos = f->len = f->col;
	size_t want = f->left < readsize ? (size_t)f->left : readsize;
	if (want > 0)
		do
			r = read(f->fd, f->data + f->len, want);
		while (r < 0 && errno == EINTR);
	if (r <= 0) {
		// the end, a read error or a file that shrank
		f->eof = 1;
		return 0;
	}
	f->left -= r;
	char *z = (char *)memchr(f->data + f->len, 0x1a, r);
	if (z != nullptr) {
		r = z - (f->data + f->len);
		f->left = 0;
	}
	f->len += (int)r;
	return r > 0 || refill(f);
}

// Copies the next piece into buf as fgets would in text mode: up to and
// including a LF, at most size-1 bytes, CR LF read as LF.  Returns its
// length, 0 at the end.
static int readpiece(char *buf, int size, hostfile *f)
{
	int n = 0;

	f->col = 0;
	while (n < size - 1) {
		if (f->pos == f->len && !refill(f))
			break;
		if (n == 0 && f->countlines)
			startpiece(f, f->pos);
		int take = f->len - f->pos;
		if (take > size - 1 - n)
			take = size - 1 - n;
		char *src = f->data + f->pos;
		char *nl = (char *)memchr(src, '\n', take);
		if (nl != nullptr)
			take = (int)(nl - src) + 1;
		memcpy(buf + n, src, take);
		n += take;
		f->pos += take;
		if (nl != nullptr) {
			if (n >= 2 && buf[n - 2] == '\r')
				buf[--n - 1] = '\n';
			break;
		}
	}
	// a CR that fills the piece is the CR of a CR LF when a LF follows
	if (n == size - 1 && n > 0 && buf[n - 1] == '\r' &&
	    (f->pos < f->len || refill(f)) && f->data[f->pos] == '\n') {
		buf[n - 1] = '\n';
		f->pos++;
	}
	// like fgets, nothing read leaves buf as it was
	if (n > 0)
		buf[n] = '\0';
	if (n > 0 && f->countlines)
		endpiece(f, buf[n - 1] == '\n');
	return n;
}

char *hostfgets(char *buf, int size, hostfile *f)
{
	return readpiece(buf, size, f) > 0 ? buf : nullptr;
}

// Passes over the next n bytes, keeping count of how far into its piece
// the text then is.
static void passover(hostfile *f, int n, int piece)
{
	char *p = f->data + f->pos;
	char *nl = (char *)memrchr(p, '\n', n);

	f->col = nl ? (int)(p + n - nl - 1) % piece : (f->col + n) % piece;
	f->pos += n;
}

// Where the piece that holds q begins, p being where the text stands, col
// bytes into its piece, and no c in between: after the last LF before q,
// or col bytes before p, then whole pieces on.
static char *piecestart(hostfile *f, char *p, char *q, int piece)
{
	char *nl = (char *)memrchr(p, '\n', q - p);
	char *start = nl != nullptr ? nl + 1 : p - f->col;

	if (q - start >= piece)
		start += (q - start) / piece * piece;
	return start;
}

// Copies the piece from start to its LF at nl, CR LF read as LF, and goes
// past it.
static void copypiece(char *buf, hostfile *f, char *start, char *nl)
{
	int n = (int)(nl - start) + 1;

	if (f->countlines)
		startpiece(f, (int)(start - f->data));
	memcpy(buf, start, n);
	if (n >= 2 && buf[n - 2] == '\r')
		buf[--n - 1] = '\n';
	buf[n] = '\0';
	f->pos = (int)(nl + 1 - f->data);
	f->col = 0;
	if (f->countlines)
		endpiece(f, 1);
}

// Copies the piece at start, which holds no LF before q, when its LF lies
// in the block within piece bytes; 0 for a piece that is cut at its
// length or at the block's end, which readpiece takes.
static int takepiece(char *buf, int piece, hostfile *f, char *start, char *q)
{
	char *end = f->data + f->len;
	char *limit = end - start < piece ? end : start + piece;
	char *nl = (char *)memchr(q, '\n', limit - q);

	if (nl == nullptr)
		return 0;
	copypiece(buf, f, start, nl);
	return 1;
}

char *hostfgetswith(char *buf, int size, hostfile *f, int c)
{
	int piece = size - 1, n;

	// a piece longer than the carry is only found by reading every one
	if (piece > carrysize) {
		while ((n = readpiece(buf, size, f)) > 0)
			if (memchr(buf, c, n) != nullptr)
				return buf;
		return nullptr;
	}
	for (;;) {
		if (f->pos == f->len && !refill(f))
			return nullptr;
		char *p = f->data + f->pos;
		// the pieces before the next c are passed over unread
		char *q = (char *)memchr(p, c, f->len - f->pos);
		if (q == nullptr) {
			passover(f, f->len - f->pos, piece);
			continue;
		}
		char *start = piecestart(f, p, q, piece);
		if (takepiece(buf, piece, f, start, q))
			return buf;
		f->pos = (int)(start - f->data);
		readpiece(buf, size, f);
		return buf;
	}
}

void hostfcountlines(hostfile *f)
{
	f->countlines = 1;
}

int hostfline(hostfile *f)
{
	return f->line;
}

int hostfclose(hostfile *f)
{
	int r = close(f->fd);

	free(f->data);
	free(f);
	return r != 0;
}
