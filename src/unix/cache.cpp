// A cache of texts and what they stand for: keys one after another in an
// arena, each followed by a text of its own, and an open-addressing table
// of slots kept half empty.  When either fills, it starts over: a run
// needs only what it met lately, and a small cache touches few memory
// pages.
#include "unix.h"

#include <string.h>

#include "../text.h"

// The slot of the len bytes of key, whose hash is h; nullptr when the
// cache does not hold it.
static const cacheslot *slotof(const textcache *c, const char *key, int len,
                               unsigned h)
{
	for (unsigned i = h & c->mask; c->slots[i].at != 0;
	     i = nextslot(i, c->mask)) {
		const cacheslot *s = &c->slots[i];
		if (s->hash == h && s->len == len &&
		    memcmp(c->arena + s->at - 1, key, len) == 0)
			return s;
	}
	return nullptr;
}

// Whether the cache holds the len bytes of key: then *value is what it
// stands for, and the text kept with it is copied into text, when given,
// of size bytes.
int cachefind(const textcache *c, const char *key, int len, int *value,
              char *text, int size)
{
	const cacheslot *s = slotof(c, key, len, hashexact(key, len));

	if (s == nullptr)
		return 0;
	const char *kept = c->arena + s->at - 1 + s->len;
	int keptlen = (int)strlen(kept);
	if (text != nullptr) {
		if (keptlen >= size)
			return 0;
		memcpy(text, kept, keptlen + 1);
	}
	*value = s->value;
	return 1;
}

// Remembers the len bytes of key with value and the text; a key or text
// too long to keep is not kept.
void cacheadd(textcache *c, const char *key, int len, int value,
              const char *text)
{
	int textlen = (int)strlen(text);

	if (len >= cachekeysize || textlen >= cachekeysize)
		return;
	int need = len + textlen + 1;
	if (c->used + need > c->size || 2 * (c->count + 1) > (int)c->mask + 1) {
		memset(c->slots, 0, (c->mask + 1) * sizeof *c->slots);
		c->used = c->count = 0;
	}
	unsigned h = hashexact(key, len), i = h & c->mask;
	while (c->slots[i].at != 0)
		i = nextslot(i, c->mask);
	char *at = c->arena + c->used;
	memcpy(at, key, len);
	memcpy(at + len, text, textlen + 1);
	c->slots[i] = cacheslot{h, c->used + 1, len, value};
	c->used += need;
	c->count++;
}
