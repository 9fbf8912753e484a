# Makes the C++ source that holds plotmap's page: PAGE, an HTML file whose
# lines @STYLE@, @LAYOUT@, @SCRIPT@ and @DATA@ stand for STYLE, the layout
# library LAYOUT with its licence LICENCE in a comment, SCRIPT and the
# map's data, becomes the part before the data (pagehead) and the part
# after it (pagetail), written into OUT.
#   cmake -DPAGE=... -DSTYLE=... -DLAYOUT=... -DLICENCE=... -DSCRIPT=...
#         -DOUT=... -P embedpage.cmake
cmake_policy(VERSION 3.25)
foreach(part PAGE STYLE LAYOUT LICENCE SCRIPT)
  file(READ ${${part}} ${part}TEXT)
endforeach()

# Nothing embedded in a script may end it or open a comment there, and
# the licence must not end its comment.
foreach(part LAYOUT SCRIPT)
  string(TOLOWER "${${part}TEXT}" lower)
  if(lower MATCHES "</script|<!--")
    message(FATAL_ERROR "${${part}} holds </script or <!--")
  endif()
endforeach()
if(LICENCETEXT MATCHES "\\*/")
  message(FATAL_ERROR "${LICENCE} holds */")
endif()

set(page "${PAGETEXT}")
string(REPLACE "@STYLE@" "${STYLETEXT}" page "${page}")
string(REPLACE "@LAYOUT@" "/*\n${LICENCETEXT}*/\n${LAYOUTTEXT}" page "${page}")
string(REPLACE "@SCRIPT@" "${SCRIPTTEXT}" page "${page}")
string(FIND "${page}" "@DATA@" at)
if(at LESS 0)
  message(FATAL_ERROR "${PAGE} has no @DATA@")
endif()
string(SUBSTRING "${page}" 0 ${at} head)
math(EXPR after "${at} + 6")
string(SUBSTRING "${page}" ${after} -1 tail)

# Each part as an array of bytes, with its length.
set(source "// Made by cmake/embedpage.cmake from src/plotmap/page; do not edit.\n")
foreach(part head tail)
  string(LENGTH "${${part}}" len)
  string(HEX "${${part}}" hex)
  string(REGEX REPLACE "(..)" "'\\\\x\\1'," hex "${hex}")
  string(REGEX REPLACE "(([^,]*,){16})" "\\1\n" hex "${hex}")
  string(APPEND source "extern const char page${part}[] = {\n${hex}0};\n"
    "extern const int page${part}len = ${len};\n")
endforeach()
file(WRITE ${OUT}.new "${source}")
file(RENAME ${OUT}.new ${OUT})
