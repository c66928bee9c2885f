# Compile settings shared by every target of ours.
#
# qvx_defaults(target): C++20, warnings as errors, and on Windows the size
# rules (no exceptions, no RTTI, -Os, sections garbage-collected, static
# runtime, stripped) and the exploit mitigations.

if(WIN32)
  # A build must not embed the machine's paths; ninja passes absolute ones.
  set(QVX_PREFIX_MAP "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.")
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  # i386 C names carry a leading underscore.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(QVX_C_PREFIX _)
  else()
    set(QVX_C_PREFIX "")
  endif()
endif()

function(qvx_defaults target)
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    return()
  endif()
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers)
  if(WIN32)
    # Data at the alignment its type needs, not widened for vector access.
    # Stack protection of every function with an array or a local whose
    # address is taken (the guard: platform/win32/stack_guard.cpp).
    target_compile_options(${target} PRIVATE
      -Os -fno-exceptions -fno-rtti -ffunction-sections -fdata-sections
      -fno-asynchronous-unwind-tables -fno-ident ${QVX_PREFIX_MAP}
      -malign-data=abi -fstack-protector-strong)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      # Code that runs on every processor Windows 95 runs on: the compiler's
      # default, the Pentium Pro, would use its conditional moves, which a
      # Pentium or a 486 refuses. The stack is kept at the 4-byte alignment
      # that 32-bit Windows gives, not realigned to 16 bytes for vector
      # instructions that such code never uses.
      target_compile_options(${target} PRIVATE -march=i586 -mpreferred-stack-boundary=2)
    endif()
    target_compile_definitions(${target} PRIVATE QVX_WINDOWS=1)
    # Link-time optimisation: across the libraries, unused code and the
    # platform interfaces' indirection shrink by a sixth.
    set_property(TARGET ${target} PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
    if(kind STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE
        -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections
        -Wl,--no-insert-timestamp -Wl,--build-id=none)
      # Exploit mitigations: a data execution prevention opt-in, and base
      # relocations so that the loader may place the image at a random
      # address; a 64-bit image may be placed above 4 GB. A Windows that
      # predates a flag ignores it and loads the image at its preferred base.
      target_link_options(${target} PRIVATE -Wl,--nxcompat -Wl,--dynamicbase)
      if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        target_link_options(${target} PRIVATE -Wl,--high-entropy-va)
      else()
        # No structured exception handler lies in the image: the entry points
        # are our own or the C runtime's, which installs none on i386, and
        # nothing is built with exceptions. Marked so, the system calls no
        # handler that an overrun planted on the stack points into the image.
        target_link_options(${target} PRIVATE -Wl,--no-seh)
      endif()
      # Stack protection: the guard and its failure routine. A program with
      # an entry point of its own (the runtime, qvx_runtime) seeds the guard
      # there; every other starts through the C runtime, entered through a
      # wrapper that seeds it first.
      target_link_libraries(${target} PRIVATE qvx_stack_guard qvx_crt_entry)
      set(crt_entry "$<IF:$<BOOL:$<TARGET_PROPERTY:WIN32_EXECUTABLE>>,QvxGuardedWinMainCRTStartup,QvxGuardedMainCRTStartup>")
      set(own_entry "$<IN_LIST:qvx_runtime,$<TARGET_PROPERTY:LINK_LIBRARIES>>")
      target_link_options(${target} PRIVATE "$<$<NOT:${own_entry}>:-Wl,--entry=${QVX_C_PREFIX}${crt_entry}>")
      # The load configuration names the guard, for the system and for
      # binary analyzers; ld links it but leaves its directory empty, which
      # the link's map lets us fill.
      set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
      target_link_options(${target} PRIVATE -Wl,-Map,${map})
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/fill-load-config.py
                $<TARGET_FILE:${target}> ${map}
        VERBATIM)
    endif()
  elseif(QVX_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# qvx_gui_executable(target sources...): a Windows GUI program, subsystem 4.0,
# so that it starts on every 32-bit Windows from 95 and NT 4.0 on.
function(qvx_gui_executable target)
  add_executable(${target} WIN32 ${ARGN})
  qvx_defaults(${target})
  target_link_options(${target} PRIVATE -mwindows
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0)
endfunction()

# qvx_test(target sources...): a GoogleTest program of the host build, each
# test registered with ctest.
function(qvx_test target)
  add_executable(${target} ${ARGN})
  qvx_defaults(${target})
  target_link_libraries(${target} PRIVATE GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
endfunction()

# qvx_wine_template_for(test): `test` runs only after the test wine.template,
# which makes the build tree's template prefix with a time of its own: a
# wineboot under an emulated 32-bit Wine on a busy machine may take minutes,
# which no single test's timeout should have to cover.
function(qvx_wine_template_for test)
  get_property(made GLOBAL PROPERTY QVX_WINE_TEMPLATE_TEST)
  if(NOT made)
    set_property(GLOBAL PROPERTY QVX_WINE_TEMPLATE_TEST ON)
    add_test(NAME wine.template
             COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/run-in-prefix.sh ${CMAKE_BINARY_DIR} --template)
    set_tests_properties(wine.template PROPERTIES TIMEOUT 900 LABELS wine
                         FIXTURES_SETUP qvx_wine_template)
  endif()
  set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED qvx_wine_template)
endfunction()

# qvx_wine_test(NAME name COMMAND exe args... [TIMEOUT seconds]): a ctest test
# of a Windows build that runs exe under wine in a fresh prefix of its own,
# copied from a template prefix made once per build tree (see
# tests/wine/run-in-prefix.sh). exe may be a target of this build. The test
# passes when the program exits with 0. The win32 build's programs run under
# the 32-bit loader in the same kind of 64-bit prefix, as on 64-bit Windows.
# The timeout only catches a hang: the waits inside are bounded themselves,
# and lengthened where Wine starts programs slowly.
function(qvx_wine_test)
  cmake_parse_arguments(PARSE_ARGV 0 QWT "" "NAME;TIMEOUT" "COMMAND")
  if(NOT QWT_NAME OR NOT QWT_COMMAND)
    message(FATAL_ERROR "qvx_wine_test needs NAME and COMMAND")
  endif()
  if(NOT QWT_TIMEOUT)
    set(QWT_TIMEOUT 600)
  endif()
  list(POP_FRONT QWT_COMMAND exe)
  if(TARGET ${exe})
    set(exe $<TARGET_FILE:${exe}>)
  endif()
  add_test(NAME ${QWT_NAME}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/run-in-prefix.sh
            ${CMAKE_BINARY_DIR} ${QWT_NAME} ${exe} ${QWT_COMMAND})
  set_tests_properties(${QWT_NAME} PROPERTIES TIMEOUT ${QWT_TIMEOUT} LABELS wine)
  qvx_wine_template_for(${QWT_NAME})
endfunction()
