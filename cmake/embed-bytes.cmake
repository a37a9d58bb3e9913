# Writes a C++ source that holds a file's bytes, for the programs that carry files without a
# resource compiler: cmake -DINPUT=<file> -DOUTPUT=<source> -DNAME=<identifier> -P embed-bytes.cmake
# The source defines `extern const unsigned char NAME[]` and `extern const size_t NAMESize`.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
# Sixteen bytes a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x..," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n" bytes "${bytes}")
get_filename_component(source ${INPUT} NAME)
file(WRITE ${OUTPUT}.tmp
  "// Made from ${source} by the build; edit that file instead.\n"
  "#include <cstddef>\n\n"
  "extern const unsigned char ${NAME}[] = {\n${bytes}};\n"
  "extern const size_t ${NAME}Size = ${size};\n")
# Rewritten only when different, so that an unchanged file compiles nothing again.
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
