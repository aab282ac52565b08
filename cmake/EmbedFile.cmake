# Turns a file into C++ source: a byte array and its size in namespace
# saver::resources, for data the program carries inside itself.
#
#   cmake -DINPUT=picture.png -DOUTPUT=picture.cpp -DSYMBOL=kPicturePng -P EmbedFile.cmake
#
# defines `extern const unsigned char SYMBOL[]` and `extern const unsigned long SYMBOL_SIZE`
# (declare them the same way where they are used).
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n  " bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${name} by cmake/EmbedFile.cmake; do not edit.\n"
  "namespace saver::resources {\n"
  "extern const unsigned char ${SYMBOL}[] = {\n  ${bytes}\n};\n"
  "extern const unsigned long ${SYMBOL}_SIZE = ${size};\n"
  "}  // namespace saver::resources\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
