// Text rules that the program module and the POSIX host must agree on:
// the two separators, letter folding (a to z only), and the hash and the
// compare of names under folding.
#ifndef PLOTWALK_TEXT_H
#define PLOTWALK_TEXT_H

#include <stdint.h>
#include <string.h>

constexpr int isseparator(char c)
{
	return c == '/' || c == '\\';
}

// a to z as A to Z; every other byte as it is.
constexpr int foldchar(unsigned char c)
{
	return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

// Whether the len bytes at a and at b are equal with letter case folded.
inline int foldequal(const char *a, const char *b, int len)
{
	for (int i = 0; i < len; i++)
		if (a[i] != b[i] && foldchar(a[i]) != foldchar(b[i]))
			return 0;
	return 1;
}

// Hashes len bytes, each first masked by its byte of mask, eight at a
// time.
inline unsigned hashbytes(const char *s, int len, uint64_t mask)
{
	const char *end = s + len;
	uint64_t h = (uint64_t)len, w = 0;
	int whole = len >= 8;

	for (; len > 8; len -= 8, s += 8) {
		memcpy(&w, s, 8);
		h = (h ^ (w & mask)) * 0x9e3779b97f4a7c15ull;
		h ^= h >> 29;
	}
	// the last one to eight bytes: shifted down from the word that ends
	// with them when the text is that long, else gathered one by one
	if (whole) {
		memcpy(&w, end - 8, 8);
		w >>= (8 - len) * 8;
	} else {
		for (int i = 0; i < len; i++)
			w |= (uint64_t)(unsigned char)s[i] << (8 * i);
	}
	h = (h ^ (w & mask)) * 0x9e3779b97f4a7c15ull;
	return (unsigned)(h ^ (h >> 32));
}

// Texts equal but for letter case hash alike: clearing bit 5 of each
// byte maps a to z onto A to Z (and merges a few other pairs, which only
// costs a compare).
inline unsigned hashfolded(const char *s, int len)
{
	return hashbytes(s, len, 0xdfdfdfdfdfdfdfdfull);
}

inline unsigned hashexact(const char *s, int len)
{
	return hashbytes(s, len, ~0ull);
}

// The slot after i in an open-addressing table of mask + 1 slots, whose
// search starts at the slot a hash picks and stops at an empty one.
inline unsigned nextslot(unsigned i, unsigned mask)
{
	return (i + 1) & mask;
}

#endif
