# cmake -DIN=file -DOUT=file -P embed-bytes.cmake: writes IN's bytes to OUT as
# the body of a C++ array initialiser, sixteen to a line.
file(READ ${IN} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT} "// Generated from ${IN}; do not edit.\n${bytes}\n")
