# Fails unless every DLL and program in FOLDER imports only Windows' own DLLs and the
# build's UE4SS.dll: a runtime DLL such as libstdc++-6.dll would be missing on a player's
# machine. Run as: cmake -DOBJDUMP=... -DFOLDER=... -P check-imports.cmake
cmake_minimum_required(VERSION 3.25)

set(system kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 ntdll msvcrt ucrtbase ws2_32 bcrypt dbghelp
  winmm version psapi)
set(ours ue4ss)

file(GLOB binaries ${FOLDER}/*.dll ${FOLDER}/*.exe)
if(NOT binaries)
  message(FATAL_ERROR "nothing built in ${FOLDER}")
endif()

set(failures "")
foreach(binary IN LISTS binaries)
  cmake_path(GET binary FILENAME file)
  execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} could not read ${binary}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
  set(imports "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "DLL Name: ([^ \t\r]+).*" "\\1" dll "${line}")
    list(APPEND imports ${dll})
    string(TOLOWER "${dll}" name)
    string(REGEX REPLACE "\\.dll$" "" name "${name}")
    if(NOT name IN_LIST system AND NOT name IN_LIST ours AND NOT name MATCHES "^api-ms-win-")
      string(APPEND failures "  ${file} imports ${dll}\n")
    endif()
  endforeach()
  list(JOIN imports ", " shown)
  message(STATUS "${file}: ${shown}")
endforeach()

if(failures)
  message(FATAL_ERROR "DLLs that are not part of Windows:\n${failures}")
endif()
