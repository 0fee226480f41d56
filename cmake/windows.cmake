# Windows builds. Product code runs without any C runtime: no exceptions,
# no RTTI, no static constructors, Shift-JIS narrow literals.
option(KLVO_SIMULATED_IME "Replace the user32 IME calls by a simulated IME system (Wine build)" OFF)

add_compile_options(
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-threadsafe-statics>
  $<$<COMPILE_LANGUAGE:C,CXX>:-fexec-charset=CP932>
  $<$<COMPILE_LANGUAGE:C,CXX>:-fno-stack-protector>
  # No C library to call: loops must stay loops, not become strlen or memset.
  $<$<COMPILE_LANGUAGE:C,CXX>:-fno-tree-loop-distribute-patterns>
  $<$<COMPILE_LANGUAGE:C,CXX>:-Wall>)
add_compile_definitions(WINVER=0x0400 _WIN32_WINNT=0x0400 _WIN32_IE=0x0400 NOMINMAX)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(WIN_ENTRY _WinMainCRTStartup)
else()
  set(WIN_ENTRY WinMainCRTStartup)
endif()

# add_windows_program(<target> <output name> SOURCES ... LIBS ...)
# A GUI program (subsystem 4.0) linked only against the named system DLLs.
function(add_windows_program target output)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} WIN32 ${P_SOURCES})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output} SUFFIX ".exe"
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  target_link_options(${target} PRIVATE -nostdlib -nostartfiles
    -Wl,--subsystem,windows:4.0 -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,-e,${WIN_ENTRY} -Wl,--kill-at)
  target_link_libraries(${target} PRIVATE ${P_LIBS} winrt_entry gcc)
endfunction()
