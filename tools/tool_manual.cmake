# Makes a tool's manual page from its written source in man/, compressed as
# Debian wants it (gzip -9 -n: the same text gives the same bytes).
#   cmake -DPAGE=man/zarn-db.1 -DVERSION=1.0 -DGZIP=gzip -DOUT=zarn-db.1.gz -P tool_manual.cmake
#
# Two things are added to what was written:
# - the version the page belongs to, for @VERSION@ in its .TH line;
# - a point where a line may break after each Chinese character. groff breaks
#   lines only at spaces, and Chinese has none: a paragraph would run past the
#   right margin. No break is offered before closing punctuation or after
#   opening punctuation, nor in the NAME line, which apropos and whatis read.
cmake_policy(VERSION 3.20)
foreach(var PAGE VERSION GZIP OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "tool_manual.cmake needs -D${var}=")
  endif()
endforeach()

file(READ ${PAGE} text)
string(REPLACE "@VERSION@" "${VERSION}" text "${text}")

# The NAME line is kept aside as it is.
string(REGEX MATCH "\n\\.SH NAME\n[^\n]*\n" name "${text}")
if(name STREQUAL "")
  message(FATAL_ERROR "${PAGE} has no NAME section")
endif()
string(REPLACE "${name}" "\n@NAME@\n" text "${text}")

# UTF-8 of U+3000 to U+9FFF (CJK punctuation, kana, ideographs) and of the
# full-width forms U+FF00 to U+FFEF, by their bytes.
foreach(code 227 233 239 188 191 128)
  string(ASCII ${code} b${code})
endforeach()
set(cjk "[${b227}-${b233}][${b128}-${b191}][${b128}-${b191}]|${b239}[${b188}-${b191}][${b128}-${b191}]")
string(REGEX REPLACE "(${cjk})" "\\1\\\\:" text "${text}")
foreach(closing "，" "。" "、" "；" "：" "）" "」" "？" "！" "》")
  string(REPLACE "\\:${closing}" "${closing}" text "${text}")
endforeach()
foreach(opening "（" "「" "《")
  string(REPLACE "${opening}\\:" "${opening}" text "${text}")
endforeach()
string(REPLACE "\n@NAME@\n" "${name}" text "${text}")

file(WRITE ${OUT}.in "${text}")
execute_process(COMMAND ${GZIP} -9 -n -c INPUT_FILE ${OUT}.in OUTPUT_FILE ${OUT}
  COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${OUT}.in)
