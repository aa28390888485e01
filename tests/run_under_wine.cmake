# Runs one Windows test under Wine. Qt Test's report to standard output does
# not come through Wine's console here, so it goes to a file that is shown.
execute_process(COMMAND wine ${TEST} -o ${REPORT},txt RESULT_VARIABLE status)
if(EXISTS ${REPORT})
    file(READ ${REPORT} report)
    message("${report}")
endif()
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TEST} failed (${status})")
endif()
