# Hot step code is compiled once per x86-64 instruction-set level and the running machine picks
# its variant at start-up (engine/Isa.h). Every variant is VEX-encoded where the level allows it,
# so the step never runs legacy SSE instructions next to wide vector state left behind by the C
# library (docs/performance.md).
#
# zarn_add_isa_variants(<target> [FMA] SOURCES <files...>)
#   Compiles the sources into one object library per level and adds the objects to <target>.
#   Each copy sees ZARN_ISA_NS (isa_baseline, isa_v3, isa_v4): everything a variant source
#   defines must live in namespace zarn::ZARN_ISA_NS, so that the copies never share a symbol.
#   The sums of a step are written in a fixed order; -ffp-contract=off keeps the compiler from
#   fusing them into multiply-adds, so every level rounds them the same way. The copies are
#   always optimised (-O2, also in Debug builds): unoptimised code would leave out-of-line copies
#   of the headers' inline functions, compiled for that level, for the linker to share with code
#   that runs everywhere.
#   FMA: sources that call fused multiply-adds by intrinsic (engine/InlineSines.h) keep them on
#   x86-64-v3 and lose the straight-line vectoriser instead, as on x86-64-v4.

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(ZARN_ISA_LEVELS baseline v3 v4)
else()
  set(ZARN_ISA_LEVELS baseline)
endif()

set(ZARN_ISA_FLAGS_baseline "")
set(ZARN_ISA_FLAGS_v3 -march=x86-64-v3)
set(ZARN_ISA_FLAGS_v4 -march=x86-64-v4)
# GCC's straight-line vectoriser turns the complex products of a sum into fused
# multiply-add-subtract instructions even under -ffp-contract=off, so an optimised build and a
# sanitiser build would round differently. On x86-64-v3 taking away FMA instructions prevents
# it and keeps the vectoriser (the maps' kernels use this: built with FMA instead, they measured
# no faster); AVX-512 brings FMA with it, so there the vectoriser goes.
set(ZARN_ISA_UNFUSED_baseline "")
set(ZARN_ISA_UNFUSED_v3 -mno-fma)
set(ZARN_ISA_UNFUSED_v4 -fno-tree-slp-vectorize)

function(zarn_add_isa_variants target)
  cmake_parse_arguments(ARG "FMA" "" "SOURCES" ${ARGN})
  foreach(level IN LISTS ZARN_ISA_LEVELS)
    set(objects ${target}_isa_${level})
    set(unfused ${ZARN_ISA_UNFUSED_${level}})
    if(ARG_FMA AND level STREQUAL "v3")
      set(unfused ${ZARN_ISA_UNFUSED_v4})
    endif()
    add_library(${objects} OBJECT ${ARG_SOURCES})
    target_compile_definitions(${objects} PRIVATE ZARN_ISA_NS=isa_${level})
    target_compile_options(${objects} PRIVATE ${ZARN_ISA_FLAGS_${level}} -O2 -ffp-contract=off
                           ${unfused})
    target_include_directories(${objects} PRIVATE ${PROJECT_SOURCE_DIR} ${ZARN_SLEEF_INCLUDE_DIR})
    target_link_libraries(${objects} PRIVATE zarn_warnings)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${objects}>)
  endforeach()
  list(LENGTH ZARN_ISA_LEVELS count)
  if(count GREATER 1)
    target_compile_definitions(${target} PUBLIC ZARN_X86_ISA_VARIANTS=1)
  endif()
endfunction()

# zarn_add_isa_variant_checks(<target>): one CTest per level running CheckIsaVariant.cmake on
# the objects zarn_add_isa_variants made for <target>.
function(zarn_add_isa_variant_checks target)
  foreach(level IN LISTS ZARN_ISA_LEVELS)
    add_test(NAME IsaVariant.${target}.${level}
             COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DOBJDUMP=${CMAKE_OBJDUMP} -DLEVEL=${level}
                     "-DOBJECTS=$<JOIN:$<TARGET_OBJECTS:${target}_isa_${level}>,|>"
                     -P ${PROJECT_SOURCE_DIR}/cmake/CheckIsaVariant.cmake)
  endforeach()
endfunction()
