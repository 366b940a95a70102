# Turns a file into a C++ source defining a function that returns its exact bytes.
# -DINPUT=... -DOUTPUT=... -DFUNCTION=...
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexlen)
math(EXPR size "${hexlen} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.\n#include <string_view>\nnamespace vebix {\nnamespace {\nconst char kBytes[${size} + 1] = {${bytes} 0};\n}\nstd::string_view ${FUNCTION}() { return {kBytes, ${size}}; }\n}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
