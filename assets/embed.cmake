# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DOUTPUT=<file.cpp> -DPICTURES="splash;page" -DSOURCE_DIR=<dir> -P embed.cmake
# Writes every <name>.jpg of SOURCE_DIR as a byte array with an accessor <name>Jpeg().
set(body "// Generated from the JPEG files in assets/; edit those, not this.\n")
string(APPEND body "#include \"assets/pictures.h\"\n\nnamespace assets {\nnamespace {\n")
set(accessors "")
foreach(name IN LISTS PICTURES)
  file(READ ${SOURCE_DIR}/${name}.jpg hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR bytes "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  # Sixteen bytes to a line keep the generated file readable (CMake's regex has no {n}).
  set(sixteen "")
  foreach(i RANGE 15)
    string(APPEND sixteen "0x..,")
  endforeach()
  string(REGEX REPLACE "(${sixteen})" "\\1\n    " hex "${hex}")
  string(APPEND body "const unsigned char ${name}Bytes[${bytes}] = {\n    ${hex}\n};\n")
  string(APPEND accessors
         "std::span<const unsigned char> ${name}Jpeg() {\n    return ${name}Bytes;\n}\n")
endforeach()
string(APPEND body "}  // namespace\n\n${accessors}\n}  // namespace assets\n")
file(WRITE ${OUTPUT}.tmp "${body}")
# Only touch the source when a picture really changed, so nothing rebuilds for nothing.
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
