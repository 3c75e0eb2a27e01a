# The compile and link flags every target of the project carries, as the
# usage requirements of one interface target (qb_build_flags) instead of
# directory-wide options: the floors link it, and everything linking a floor
# inherits it. Programs and tests that link no floor link it themselves.
option(QB_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(QB_FUZZ "Build the fuzz targets (clang with libFuzzer)" OFF)

add_library(qb_build_flags INTERFACE)
target_compile_options(qb_build_flags INTERFACE -Wall -Wextra)
if(WIN32)
  # 64-bit file offsets and sizes; lean system headers without min/max macros.
  target_compile_definitions(qb_build_flags INTERFACE _FILE_OFFSET_BITS=64 WIN32_LEAN_AND_MEAN NOMINMAX)
endif()

if(QB_FUZZ)
  # Everything is instrumented for libFuzzer's coverage; only the fuzz
  # targets link its main (-fsanitize=fuzzer there).
  target_compile_options(qb_build_flags INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(qb_build_flags INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=undefined)
elseif(QB_SANITIZE)
  target_compile_options(qb_build_flags INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(qb_build_flags INTERFACE -fsanitize=address,undefined)
else()
  # Release builds check buffer sizes at run time where the compiler can
  # (fortified library calls) and guard the stack against overruns.
  target_compile_options(qb_build_flags INTERFACE
    $<$<CONFIG:Release>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong>)
  if(WIN32)
    # links the guard's run-time library
    target_link_options(qb_build_flags INTERFACE $<$<CONFIG:Release>:-fstack-protector-strong>)
  else()
    # Symbols bound at start-up, the relocation tables then read-only.
    target_link_options(qb_build_flags INTERFACE $<$<CONFIG:Release>:-Wl,-z,relro,-z,now>)
  endif()
endif()
