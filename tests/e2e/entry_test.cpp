// Banner, help requests and the refused arguments.
#include "harness.h"

static const std::vector<std::string> helplines = {
        "Usage 1: plotwalk",
        "Usage 2: plotwalk directory",
        "Usage 3: plotwalk root-file-name",
        "",
        "This program verifies a hyperfiction tree, starting with a "
        "\"root\" file.",
        "For Usage 1, the current directory will be used, and the first "
        ".htm or .html",
        "file will be used as the root file name.",
        "For Usage 2, any argument that doesn't end in .htm or .html will "
        "be assumed",
        "to be a directory, and the first .htm or .html file in that "
        "directory",
        "will be used as the root file name.",
        "For Usage 3, the .htm or .html file given as the argument will be "
        "used as the",
        "root file name.  If no directory is specified within this name, "
        "the current",
        "directory will be assumed.",
};

class entry : public e2e,
              public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(entry, printshelp)
{
	runresult r = run(GetParam());
	EXPECT_EQ(r.out, report(helplines));
	EXPECT_EQ(r.status, 0);
}

INSTANTIATE_TEST_SUITE_P(
        keywords, entry,
        ::testing::Values(std::vector<std::string>{"h"},
                          std::vector<std::string>{"help"},
                          std::vector<std::string>{"-h"},
                          std::vector<std::string>{"-help"},
                          std::vector<std::string>{"?"},
                          std::vector<std::string>{"-?"},
                          std::vector<std::string>{"story", "a.htm"},
                          std::vector<std::string>{"", ""},
                          std::vector<std::string>{"a", "b", "c"}));
