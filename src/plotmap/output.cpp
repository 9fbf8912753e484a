// The map's bytes on their way to a stream, through a buffer of its own,
// and the escaping that keeps names and links from someone else's tree
// mere text in every format: JSON (also inside the HTML page's script),
// DOT, and lines for a terminal or an editor.
#include "plotmap.h"

#include <string.h>

char outbuf[outsize];
int outlen;
static FILE *out;
static int outfailed;

void startoutput(FILE *stream)
{
	out = stream;
	outlen = 0;
	outfailed = 0;
}

static void flushoutput()
{
	if (outlen > 0 && fwrite(outbuf, 1, outlen, out) != (size_t)outlen)
		outfailed = 1;
	outlen = 0;
}

// Hands on what is left; whether everything was written.
int endoutput()
{
	flushoutput();
	return !outfailed && fflush(out) == 0 && !ferror(out);
}

// Room for n bytes at the buffer's end, n at most outsize.
static char *reserve(int n)
{
	if (n > outsize - outlen)
		flushoutput();
	return outbuf + outlen;
}

// put() for what does not fit in the room left.
void putlong(const char *s, int len)
{
	while (len > 0) {
		int n = outsize - outlen < len ? outsize - outlen : len;
		memcpy(outbuf + outlen, s, n);
		outlen += n;
		s += n;
		len -= n;
		if (outlen == outsize)
			flushoutput();
	}
}

void putnum(long n)
{
	char *o = reserve(21);
	unsigned long u = n < 0 ? 0ul - (unsigned long)n : (unsigned long)n;
	int len = u < 10 ? 1 : u < 100 ? 2 : u < 1000 ? 3 : 4;

	if (n < 0)
		*o++ = '-';
	for (unsigned long v = u / 10000; v > 0; v /= 10)
		len++;
	outlen += len + (n < 0);
	o += len;
	do
		*--o = (char)('0' + u % 10);
	while ((u /= 10) != 0);
}

// The length of the well-formed UTF-8 sequence at s, of at most left
// bytes; 0 when the bytes there are none.
static int utf8len(const unsigned char *s, int left)
{
	int n, lo = 0x80, hi = 0xbf;

	if (s[0] < 0x80)
		return 1;
	if (s[0] >= 0xc2 && s[0] <= 0xdf)
		n = 2;
	else if (s[0] >= 0xe0 && s[0] <= 0xef)
		n = 3;
	else if (s[0] >= 0xf0 && s[0] <= 0xf4)
		n = 4;
	else
		return 0;
	if (s[0] == 0xe0)
		lo = 0xa0;
	else if (s[0] == 0xed)
		hi = 0x9f;
	else if (s[0] == 0xf0)
		lo = 0x90;
	else if (s[0] == 0xf4)
		hi = 0x8f;
	if (left < n || s[1] < lo || s[1] > hi)
		return 0;
	for (int i = 2; i < n; i++)
		if (s[i] < 0x80 || s[i] > 0xbf)
			return 0;
	return n;
}

static const char replacement[] = "\xef\xbf\xbd"; // U+FFFD

// Whether the UTF-8 sequence of n bytes at s is a control character of
// the C1 range, U+0080 to U+009F, which a terminal may obey.
static int isc1(const unsigned char *s, int n)
{
	return n == 2 && s[0] == 0xc2 && s[1] <= 0x9f;
}

// Bytes that a JSON string holds as they are: printable ASCII but for
// '"' and '\\', and '<', '>' and '&', which could end the HTML page's
// script or begin markup.
struct bytetable {
	char asis[256];
};

static constexpr bytetable makejsontable()
{
	bytetable t{};

	for (int c = 0x20; c < 0x7f; c++)
		t.asis[c] = c != '"' && c != '\\' && c != '<' && c != '>' &&
		            c != '&';
	return t;
}

static constexpr bytetable jsonasis = makejsontable();

// Writes the text of a JSON string for the len bytes at s, without its
// quotes, into o, which has room for 6 * len bytes; its length.  Besides
// what JSON needs, '<', '>', '&', U+2028 and U+2029 are escaped, and bytes
// that are not UTF-8 become U+FFFD.
static int escapejson(const char *s, int len, char *o)
{
	static const char hex[] = "0123456789abcdef";
	const unsigned char *u = (const unsigned char *)s;
	char *start = o;

	for (int i = 0; i < len;) {
		if (jsonasis.asis[u[i]]) {
			*o++ = s[i++];
			continue;
		}
		int n = utf8len(u + i, len - i);
		if (u[i] == '"' || u[i] == '\\') {
			*o++ = '\\';
			*o++ = s[i];
		} else if (n == 1 ||
		           (n == 3 && u[i] == 0xe2 && u[i + 1] == 0x80 &&
		            (u[i + 2] == 0xa8 || u[i + 2] == 0xa9))) {
			// a control, '<', '>', '&', U+2028 or U+2029
			int c = n == 1 ? u[i] : 0x2000 + (u[i + 2] & 0x3f);
			memcpy(o, "\\u", 2);
			o[2] = hex[c >> 12];
			o[3] = hex[(c >> 8) & 15];
			o[4] = hex[(c >> 4) & 15];
			o[5] = hex[c & 15];
			o += 6;
		} else if (n == 0) {
			memcpy(o, "\\ufffd", 6);
			o += 6;
			n = 1;
		} else {
			memcpy(o, s + i, n);
			o += n;
		}
		i += n;
	}
	return (int)(o - start);
}

// Every text the map holds is at most a path on the host.
static_assert(6 * pathsize <= outsize, "an escaped text fits the buffer");

void putjson(const char *s, int len)
{
	outlen += escapejson(s, len, reserve(6 * len));
}

// The text of a DOT string, without its quotes: '"' and '\' escaped so
// that no escape of Graphviz's labels arises, controls and bytes that are
// not UTF-8 as U+FFFD.
void putdot(const char *s, int len)
{
	const unsigned char *u = (const unsigned char *)s;

	for (int i = 0; i < len;) {
		int n = utf8len(u + i, len - i);
		if (u[i] == '"' || u[i] == '\\') {
			char e[2] = {'\\', s[i]};
			put(e, 2);
		} else if (n == 0 || u[i] < 0x20 || u[i] == 0x7f ||
		           isc1(u + i, n)) {
			put(replacement, 3);
		} else {
			put(s + i, n);
		}
		i += n > 0 ? n : 1;
	}
}

// Text for a terminal or an editor: the bytes as they are, so that a path
// can be opened, but for controls, which a terminal might obey: each
// becomes '?'.
void putshown(const char *s, int len)
{
	const unsigned char *u = (const unsigned char *)s;

	for (int i = 0; i < len;) {
		int n = utf8len(u + i, len - i);
		if (u[i] < 0x20 || u[i] == 0x7f || isc1(u + i, n)) {
			put("?", 1);
		} else {
			put(s + i, n > 0 ? n : 1);
		}
		i += n > 0 ? n : 1;
	}
}

void putjsontext(const textarena *a, int text)
{
	int len;
	const char *s = textof(a, text, &len);

	put("\"", 1);
	putjson(s, len);
	put("\"", 1);
}
