# Runs velm-fxc on a source with a GLSL error: it must fail, name the problem
# and write no output file.
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${FXC} --glslang ${GLSLANG} ${SOURCE} ${OUTPUT}
                RESULT_VARIABLE result ERROR_VARIABLE errors OUTPUT_VARIABLE out)
if(result EQUAL 0)
  message(FATAL_ERROR "velm-fxc accepted a source with a GLSL error")
endif()
if(NOT errors MATCHES "undeclaredThing")
  message(FATAL_ERROR "velm-fxc did not report the error: ${errors}")
endif()
if(EXISTS ${OUTPUT})
  message(FATAL_ERROR "velm-fxc left an output file behind")
endif()
