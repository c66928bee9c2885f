# cmake -DQVXPACK=... -DOUTPUT=... -DFILES=f0;...;f5 -DFOR=win32|win64 -P pack-payload.cmake
# Packs the six product files, in target order, into the payload of the
# installer FOR, whose size limits they must meet.
if(NOT QVXPACK OR NOT EXISTS "${QVXPACK}")
  message(FATAL_ERROR "qvxpack not found at '${QVXPACK}': build the host preset first "
                      "(cmake --preset host && cmake --build --preset host), or set QVXPACK_EXECUTABLE")
endif()
execute_process(COMMAND ${QVXPACK} pack --for ${FOR} -o ${OUTPUT} ${FILES} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "qvxpack failed (${result})")
endif()
