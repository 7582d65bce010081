# Writes a C++ source holding the bytes of one file, for data the program carries inside itself.
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DNAMESPACE=<ns> -DNAME=<identifier> -P EmbedFile.cmake
# The source defines `const unsigned char NAME[]` and `const std::size_t NAMESize` in NAMESPACE.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes to a line.
string(REPEAT "0x..," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n" bytes "${bytes}")
get_filename_component(source "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
  "// Generated at build time from ${source} by cmake/EmbedFile.cmake; edit ${source} instead.\n"
  "#include <cstddef>\n\n"
  "namespace ${NAMESPACE} {\n"
  "extern const unsigned char ${NAME}[];\n"
  "extern const std::size_t ${NAME}Size;\n"
  "const unsigned char ${NAME}[] = {\n${bytes}\n};\n"
  "const std::size_t ${NAME}Size = ${size};\n"
  "}  // namespace ${NAMESPACE}\n")
# Replaced only when the bytes changed, so that an unchanged file compiles nothing again.
execute_process(COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${OUTPUT}.tmp" "${OUTPUT}")
file(REMOVE "${OUTPUT}.tmp")
