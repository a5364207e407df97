# Writes a tool's manual page from what the tool itself prints for --help and
# --version, so the page never says other than the program, compressed as
# Debian wants it (gzip -9 -n: the same text gives the same bytes).
#   cmake -DTOOL=program -DNAME=zarn-db -DSUMMARY=... -DGZIP=gzip -DOUT=zarn-db.1.gz -P tool_manual.cmake
foreach(var TOOL NAME SUMMARY GZIP OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "tool_manual.cmake needs -D${var}=")
  endif()
endforeach()

# Whatever the build's sanitizers or the machine's display, --help prints and leaves.
set(ENV{ASAN_OPTIONS} detect_leaks=0)
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{LC_ALL} C.UTF-8)
# The page gives the built-in paths, not those of whoever builds it.
unset(ENV{ZARN_SYSTEM_REGISTRY})
unset(ENV{ZARN_REGISTRY})
foreach(option help version)
  execute_process(COMMAND ${TOOL} --${option} OUTPUT_VARIABLE ${option} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NAME} --${option} ended with ${status}")
  endif()
endforeach()
string(STRIP "${version}" version)

# Text for roff: backslashes written as such, no line taken for a request.
function(roff_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

string(TOUPPER "${NAME}" title)
roff_escape("${title}" title)
roff_escape("${NAME}" name)
roff_escape("${SUMMARY}" summary)
roff_escape("${help}" help)
roff_escape("${version}" version)
string(REGEX REPLACE "\n+$" "" help "${help}")
# No date: the page is the same whenever it is built.
file(WRITE ${OUT}.in ".TH ${title} 1 \"\" \"${version}\" \"用户命令\"
.SH 名称
${name} \\- ${summary}
.SH 说明
.nf
${help}
.fi
.SH 版本
${version}
")
execute_process(COMMAND ${GZIP} -9 -n -c INPUT_FILE ${OUT}.in OUTPUT_FILE ${OUT}
  COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${OUT}.in)
