# Writes the bytes of IN as a C array named NAME into OUT.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" len)
math(EXPR size "${len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" body "${body}")
file(WRITE ${OUT} "#include <stddef.h>\nconst unsigned char ${NAME}[] = {\n${body}\n};\nconst size_t ${NAME}_size = ${size};\n")
