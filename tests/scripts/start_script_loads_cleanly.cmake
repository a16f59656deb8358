# Runs the program headless in its own folder with the default start script
# for a few steps and fails on any ERROR line or a non-zero exit.
execute_process(COMMAND ${PROGRAM} --headless --steps 30 --workdir ${FOLDER}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "exit status ${status}: ${output} ${errors}")
endif()
if(output MATCHES "ERROR")
  message(FATAL_ERROR "the default start script reported errors:\n${output}")
endif()
