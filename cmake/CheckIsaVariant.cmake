# Checks the objects of one instruction-set level (cmake -P, run by CTest):
#  - every global or weak symbol they define lives in zarn::isa_<level>::, so no inline
#    function compiled for a higher level can be picked by the linker for code that runs
#    everywhere;
#  - above the baseline, no instruction touching a vector register is legacy-SSE encoded.
# Arguments: -DNM=... -DOBJDUMP=... -DLEVEL=v3 -DOBJECTS=a.o|b.o
string(REPLACE "|" ";" objects "${OBJECTS}")

# Runs a tool on an object; its output, one list item per line, goes to <lines>.
function(tool_lines lines)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}")
  endif()
  string(REPLACE "\n" ";" text "${text}")
  set(${lines} "${text}" PARENT_SCOPE)
endfunction()

set(failures "")
foreach(object IN LISTS objects)
  tool_lines(lines ${NM} -C --defined-only ${object})
  foreach(line IN LISTS lines)
    # Only global and weak symbols can be shared with other objects; local ones (lower-case
    # types such as t, r, b) stay in their object. Sanitizers add globals named after the
    # level's own symbols (__odr_asan.<mangled name>), and code with landing pads (under ASan,
    # the cleanup of a stack array around a call that may throw) refers to the C++ personality
    # routine through a data word every object defines alike (DW.ref.__gxx_personality_v0).
    if(line MATCHES "^[0-9a-f]+ ([A-Zwvui]) (.*)$")
      set(name "${CMAKE_MATCH_2}")
      if(NOT name MATCHES "^zarn::isa_${LEVEL}::" AND NOT name MATCHES "isa_${LEVEL}"
         AND NOT name STREQUAL "DW.ref.__gxx_personality_v0")
        string(APPEND failures "${object}: defines ${name} outside zarn::isa_${LEVEL}\n")
      endif()
    endif()
  endforeach()
  if(NOT LEVEL STREQUAL "baseline")
    tool_lines(lines ${OBJDUMP} -d --no-show-raw-insn ${object})
    foreach(line IN LISTS lines)
      if(line MATCHES "^ *[0-9a-f]+:\t([a-z0-9]+)[ \t]+(.*)$")
        set(mnemonic "${CMAKE_MATCH_1}")
        if(CMAKE_MATCH_2 MATCHES "%[xyz]mm" AND NOT mnemonic MATCHES "^v")
          string(APPEND failures "${object}: legacy SSE instruction: ${line}\n")
        endif()
      endif()
    endforeach()
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "${LEVEL}: ${objects} clean")
