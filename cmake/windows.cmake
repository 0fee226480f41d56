# Windows builds. Product code runs without any C runtime: no exceptions,
# no RTTI, no static constructors, Shift-JIS narrow literals.
option(KLVO_SIMULATED_IME "Replace the user32 IME calls by a simulated IME system (Wine build)" OFF)

add_compile_options(
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-threadsafe-statics>
  $<$<COMPILE_LANGUAGE:C,CXX>:-fexec-charset=CP932>
  $<$<COMPILE_LANGUAGE:C,CXX>:-Wall>)
# How code is generated, at compile time and again at link time (the
# programs are optimised as a whole when they are linked).
set(WIN_CODEGEN
  # No frame pointer: nothing walks the stack, and every function is
  # shorter without one.
  -Oz -fno-stack-protector -fomit-frame-pointer
  # No C library to call: loops must stay loops, not become strlen or memset.
  -fno-tree-loop-distribute-patterns
  # Lean programs: nothing unwinds (no exceptions, no runtime), so no
  # unwind tables; every function in a section of its own so that the
  # linker drops what nothing calls. (Data stays together: this compiler
  # would move zeroed data out of .bss into the file, section by section.)
  -fno-asynchronous-unwind-tables -fno-unwind-tables -ffunction-sections)
# The shipped build runs on every processor Windows 95 ran on: the 386
# family, tuned for the Pentium that most of those PCs had. The compiler's
# i686 default would use Pentium Pro instructions (cmov).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  list(APPEND WIN_CODEGEN -march=i386 -mtune=pentium -mpreferred-stack-boundary=2 -malign-data=abi)
endif()
foreach(option ${WIN_CODEGEN})
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:${option}>)
  add_link_options(${option})
endforeach()
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
add_compile_definitions(WINVER=0x0400 _WIN32_WINNT=0x0400 _WIN32_IE=0x0400 NOMINMAX)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(WIN_ENTRY _WinMainCRTStartup)
  # The shipped programs: exports, constants, imports and variables in one
  # data section (cmake/win32-layout.ld).
  set(WIN_LAYOUT -Wl,-T,${CMAKE_SOURCE_DIR}/cmake/win32-layout.ld)
else()
  set(WIN_ENTRY WinMainCRTStartup)
  set(WIN_LAYOUT)
endif()

# add_windows_program(<target> <output name> [DIR <folder>] SOURCES ... LIBS ...)
# A GUI program (subsystem 4.0) linked only against the named system DLLs,
# without symbols, unused sections or relocations (a program is always
# loaded at its own base). The link map beside it names the functions for
# the checks of the built program.
function(add_windows_program target output)
  cmake_parse_arguments(P "" "DIR" "SOURCES;LIBS" ${ARGN})
  if(NOT P_DIR)
    set(P_DIR ${CMAKE_BINARY_DIR}/bin)
  endif()
  add_executable(${target} WIN32 ${P_SOURCES})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output} SUFFIX ".exe"
    RUNTIME_OUTPUT_DIRECTORY ${P_DIR})
  target_link_options(${target} PRIVATE -nostdlib -nostartfiles
    -Wl,--subsystem,windows:4.0 -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,-e,${WIN_ENTRY} -Wl,--kill-at
    -s -Wl,--gc-sections -Wl,--disable-dynamicbase
    -Wl,-Map=${P_DIR}/${output}.map ${WIN_LAYOUT})
  target_link_libraries(${target} PRIVATE ${P_LIBS} winrt_entry gcc)
  if(WIN_LAYOUT)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/win32-layout.ld)
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} -R .reloc $<TARGET_FILE:${target}>
    COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tools/finish_program.py $<TARGET_FILE:${target}> ${P_DIR}/${output}.map
    VERBATIM)
endfunction()
