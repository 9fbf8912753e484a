// What the map shows of the walk: each page's depth from the root (or,
// for a page not reached, from the head of its chapter), the endings and
// the pages from which none can be reached, and the chapters of pages not
// reached, each with the one page that would bring it back.
#include "plotmap.h"

#include <stdlib.h>
#include <string.h>

#include "../plotwalk.h"

// The links to pages as lists by the page they stand in (out) and by the
// page they name (in), in the order the walk met them.
static int outstart[flistsize + 1];
static int instart[flistsize + 1];
static int *outto;
static int *infrom;
static int queue[flistsize];

// Fills start and list with the pages that each page's links lead to
// (forward) or come from.
static void makelists(int *start, int **list, int forward)
{
	int n = flistentries;

	memset(start, 0, sizeof(int) * (n + 1));
	for (int i = 0; i < linkcount; i++)
		start[(forward ? links[i].from : links[i].to) + 1]++;
	for (int p = 0; p < n; p++)
		start[p + 1] += start[p];
	*list = (int *)malloc(sizeof(int) * (linkcount + 1));
	if (*list == nullptr)
		fatal("out of memory");
	int *fill = (int *)malloc(sizeof(int) * (n + 1));
	if (fill == nullptr)
		fatal("out of memory");
	memcpy(fill, start, sizeof(int) * (n + 1));
	for (int i = 0; i < linkcount; i++) {
		const maplink &l = links[i];
		if (forward)
			(*list)[fill[l.from]++] = l.to;
		else
			(*list)[fill[l.to]++] = l.from;
	}
	free(fill);
}

// Gives the pages that the pages from first are linked to, and have no
// depth yet, their depth and parent, breadth first; only pages for which
// within says yes are entered.
static void spread(int first, const int *within)
{
	int head = 0, tail = 0;

	queue[tail++] = first;
	pages[first].depth = 0;
	while (head < tail) {
		int p = queue[head++];
		for (int k = outstart[p]; k < outstart[p + 1]; k++) {
			int q = outto[k];
			if (pages[q].depth >= 0 || !within[q])
				continue;
			pages[q].depth = pages[p].depth + 1;
			pages[q].parent = p;
			queue[tail++] = q;
		}
	}
}

// Marks the pages from which no ending can be reached: every page is
// marked, then the endings and, walking links backwards, the pages that
// lead to them are cleared.
static void findnoending()
{
	int head = 0, tail = 0;

	for (int p = 0; p < flistentries; p++) {
		pages[p].noending = !pages[p].ending;
		if (pages[p].ending)
			queue[tail++] = p;
	}
	while (head < tail) {
		int p = queue[head++];
		for (int k = instart[p]; k < instart[p + 1]; k++) {
			int q = infrom[k];
			if (pages[q].noending) {
				pages[q].noending = 0;
				queue[tail++] = q;
			}
		}
	}
}

// Puts the pages not reached into chapters.  Taken in catalogue order, a
// page that no head chosen so far leads to becomes a head, and the heads
// it leads to stop being heads; so the heads are the first page of each
// group that no other page leads into.  Then each head, in catalogue
// order, takes the pages it leads to that no earlier head took.
static void findchapters()
{
	static int within[flistsize], covered[flistsize], ishead[flistsize];
	int n = flistentries;

	for (int p = 0; p < n; p++) {
		within[p] = !pages[p].reached;
		covered[p] = ishead[p] = 0;
	}
	for (int p = 0; p < n; p++) {
		if (!within[p] || covered[p])
			continue;
		for (int q = 0; q < n; q++)
			if (within[q])
				pages[q].depth = -1;
		spread(p, within);
		for (int q = 0; q < n; q++)
			if (within[q] && pages[q].depth >= 0) {
				covered[q] = 1;
				ishead[q] = 0;
			}
		ishead[p] = 1;
	}
	for (int q = 0; q < n; q++)
		if (within[q])
			pages[q].depth = -1;
	for (int p = 0; p < n; p++) {
		if (!ishead[p])
			continue;
		counts.chapters++;
		spread(p, within);
		for (int q = 0; q < n; q++)
			if (within[q] && pages[q].depth >= 0 &&
			    pages[q].head < 0)
				pages[q].head = p;
	}
}

void shapemap()
{
	static int intree[flistsize];
	int n = flistentries;

	makelists(outstart, &outto, 1);
	makelists(instart, &infrom, 0);
	for (int p = 0; p < n; p++) {
		pages[p].depth = pages[p].parent = pages[p].head = -1;
		pages[p].ending = 1;
		for (int k = outstart[p]; k < outstart[p + 1]; k++)
			if (outto[k] != p)
				pages[p].ending = 0;
		intree[p] = pages[p].reached;
	}
	spread(rootpage, intree);
	findnoending();
	findchapters();

	counts.pages = n;
	counts.deepest = rootpage;
	for (int p = 0; p < n; p++) {
		if (!pages[p].reached) {
			counts.notreached++;
			continue;
		}
		counts.reached++;
		counts.endings += pages[p].ending;
		counts.noending += pages[p].noending;
		if (pages[p].depth > counts.depth) {
			counts.depth = pages[p].depth;
			counts.deepest = p;
		}
	}
}
