# Prints the size of a built program, and its size less the payload it
# carries: cmake -DFILE=<exe> [-DPAYLOAD=<payload.bin>] -P print-size.cmake
file(SIZE "${FILE}" total)
get_filename_component(name "${FILE}" NAME)
if(PAYLOAD AND EXISTS "${PAYLOAD}")
  file(SIZE "${PAYLOAD}" payload)
  math(EXPR rest "${total} - ${payload}")
  math(EXPR rest_kb "(${rest} + 1023) / 1024")
  message(STATUS "${name}: ${total} bytes; ${rest} bytes (${rest_kb} KB) without its ${payload}-byte payload")
else()
  message(STATUS "${name}: ${total} bytes")
endif()
