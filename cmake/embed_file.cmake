# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P embed_file.cmake
# Writes a C++ source defining `const unsigned char SYMBOL[]` with the bytes of INPUT and
# `const unsigned long SYMBOL_size`, both with C linkage.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}.tmp
  "// Generated from ${INPUT} by embed_file.cmake; do not edit.\n"
  "extern \"C\" const unsigned char ${SYMBOL}[] = {\n${bytes}};\n"
  "extern \"C\" const unsigned long ${SYMBOL}_size = ${size};\n")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
