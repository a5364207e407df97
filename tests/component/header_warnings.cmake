# Compiles a file that includes only the host header, the way a host with its
# warnings turned up includes it (an ordinary -I path, not a system one), as
# C++ of each standard a host may use and as C; any warning fails.
#   cmake -DCC=cc -DCXX=c++ -DINCLUDE=include -DWORK=dir -P header_warnings.cmake
foreach(var CC CXX INCLUDE WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "header_warnings.cmake needs -D${var}=")
  endif()
endforeach()
file(MAKE_DIRECTORY ${WORK})
# Every name of the header used, so that nothing is left out by not being reached.
set(body "#include <zarn/Zarndcbdll.h>
#include <stdio.h>
#if ZARN_VERSION_MAJOR < 1 || ZARN_VERSION_MINOR < 0 || ZARN_VERSION_PATCH < 0
#error version macros are not numbers
#endif
int main(void)
{
    ZarnVersionFn version = 0;
    ZarnDllGetClassObjectFn get = 0;
    printf(\"%s %d %d\\n\", ZARN_VERSION, version == 0, get == 0);
    return (int)sizeof(TYPEATTR) + (int)sizeof(IID_IUnknown) + (int)sizeof(CLSID_Zarndjdcbshow) - 1;
}
")
file(WRITE ${WORK}/header.c "${body}")
file(WRITE ${WORK}/header.cpp "${body}")
set(failed "")
foreach(std c++11 c++17 c++20)
  execute_process(COMMAND ${CXX} -std=${std} -Wall -Wextra -Wnon-virtual-dtor -pedantic
      -fsyntax-only -I${INCLUDE} ${WORK}/header.cpp
    RESULT_VARIABLE status ERROR_VARIABLE said OUTPUT_VARIABLE said_too)
  if(NOT status EQUAL 0 OR NOT "${said}${said_too}" STREQUAL "")
    string(APPEND failed "-std=${std}:\n${said}${said_too}\n")
  endif()
endforeach()
execute_process(COMMAND ${CC} -std=c11 -Wall -Wextra -pedantic -fsyntax-only -I${INCLUDE}
    ${WORK}/header.c
  RESULT_VARIABLE status ERROR_VARIABLE said OUTPUT_VARIABLE said_too)
if(NOT status EQUAL 0 OR NOT "${said}${said_too}" STREQUAL "")
  string(APPEND failed "-std=c11:\n${said}${said_too}\n")
endif()
if(failed)
  message(FATAL_ERROR "Zarndcbdll.h is not clean under a host's warnings:\n${failed}")
endif()
