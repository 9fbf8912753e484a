// Target resolution and the HTML name test.
#include "plotwalk.h"

#include <gtest/gtest.h>

#include <string>

TEST(ishtmlname, containment)
{
	struct {
		const char *name;
		int html;
	} cases[] = {
	        {"a.htm", 1},
	        {"a.html", 1},
	        {"A.HTM", 1},
	        {"A.HTML", 1},
	        {"page.htmL", 1},
	        {"page.HTMl", 1},
	        {"page.html.bak", 1},
	        {"OLD.HTM~", 1},
	        {"my.htm.d", 1},
	        {"page.Htm", 0},
	        {"page.hTML", 0},
	        {"page.htx", 0},
	        {"htm", 0},
	        {".", 0},
	        {"..", 0},
	        {"", 0},
	        {".htm", 1},
	        {"x.hTm.htm", 1},
	};
	for (const auto &c : cases)
		EXPECT_EQ(ishtmlname(c.name) != 0, c.html != 0) << c.name;
}
