# Writes a C++ source that holds a file's bytes as an array: cmake -DINPUT=... -DOUTPUT=...
# -DNAME=... -P embed-file.cmake. The array NAME gets a NUL after the bytes; NAME Size counts
# the bytes without it.
file(READ ${INPUT} content HEX)
string(LENGTH "${content}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${content}")
string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT} at build time.\n"
  "extern const char ${NAME}[];\nextern const unsigned long ${NAME}Size;\n"
  "const char ${NAME}[] = {\n${bytes}0};\nconst unsigned long ${NAME}Size = ${size};\n")
