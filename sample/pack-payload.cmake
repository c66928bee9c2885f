# cmake -DQVXPACK=... -DOUTPUT=... -DFILES=f0;...;f5 -P pack-payload.cmake
# Packs the six product files, in target order, into the payload.
if(NOT QVXPACK OR NOT EXISTS "${QVXPACK}")
  message(FATAL_ERROR "qvxpack not found at '${QVXPACK}': build the host preset first "
                      "(cmake --preset host && cmake --build --preset host), or set QVXPACK_EXECUTABLE")
endif()
execute_process(COMMAND ${QVXPACK} pack -o ${OUTPUT} ${FILES} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "qvxpack failed (${result})")
endif()
