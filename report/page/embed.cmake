# SPDX-License-Identifier: GPL-3.0-or-later
# Writes a text file into a C++ header as one string: the page's style sheet is kept as a
# file of its own, so it reads and diffs as CSS, and still goes into the program.
#   cmake -DINPUT=page.css -DOUTPUT=page_css.h -DNAME=kPageCss -P embed.cmake
file(READ "${INPUT}" text)
string(FIND "${text}" ")embedded\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw string's closing sequence")
endif()
file(WRITE "${OUTPUT}.new"
  "// Generated from ${INPUT} by embed.cmake; edit that file.\n"
  "#pragma once\n#include <string_view>\n\nnamespace report::page {\n\n"
  "inline constexpr std::string_view ${NAME} = R\"embedded(${text})embedded\";\n\n}\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
