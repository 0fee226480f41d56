# add_simulated_imes(<output folder>): the simulated IMEs SIMIMEA.IME ...
# SIMIMED.IME, DLLs that carry only an icon, so that the pop-up finds them
# with SearchPathA and draws their icon. Sets SIMIME_FILES and
# SIMIME_TARGETS in the caller's scope.
function(add_simulated_imes outdir)
  set(SIMIME_ART ${CMAKE_CURRENT_BINARY_DIR}/simime)
  set(SIMIME_ICONS)
  foreach(letter a b c d)
    list(APPEND SIMIME_ICONS ${SIMIME_ART}/ime_${letter}.ico)
  endforeach()
  add_custom_command(OUTPUT ${SIMIME_ICONS}
    COMMAND ${PYTHON3} ${CMAKE_SOURCE_DIR}/tools/make_klvo_art.py --ime ${SIMIME_ART}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_klvo_art.py)
  add_custom_target(simime_icons DEPENDS ${SIMIME_ICONS})
  set(SIMIME_FILES)
  set(SIMIME_TARGETS)
  set(entry SimImeEntry)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(entry _SimImeEntry@12)  # a decorated __stdcall name
  endif()
  foreach(letter a b c d)
    string(TOUPPER ${letter} LETTER)
    set(ICON ${SIMIME_ART}/ime_${letter}.ico)
    configure_file(${CMAKE_SOURCE_DIR}/tests/wine/klvo/simime/simime.rc.in ${SIMIME_ART}/simime_${letter}.rc @ONLY)
    add_library(simime_${letter} SHARED ${CMAKE_SOURCE_DIR}/tests/wine/klvo/simime/simime.c ${SIMIME_ART}/simime_${letter}.rc)
    set_source_files_properties(${SIMIME_ART}/simime_${letter}.rc PROPERTIES OBJECT_DEPENDS ${ICON})
    add_dependencies(simime_${letter} simime_icons)
    set_target_properties(simime_${letter} PROPERTIES OUTPUT_NAME SIMIME${LETTER} PREFIX "" SUFFIX ".IME"
      RUNTIME_OUTPUT_DIRECTORY ${outdir})
    target_link_options(simime_${letter} PRIVATE -nostdlib -Wl,-e,${entry})
    list(APPEND SIMIME_FILES $<TARGET_FILE:simime_${letter}>)
    list(APPEND SIMIME_TARGETS simime_${letter})
  endforeach()
  set(SIMIME_FILES ${SIMIME_FILES} PARENT_SCOPE)
  set(SIMIME_TARGETS ${SIMIME_TARGETS} PARENT_SCOPE)
endfunction()
