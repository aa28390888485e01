# Runs one Windows test under Wine. Qt Test's report to standard output does
# not come through Wine's console here, so it goes to a file that is shown.
# The Wine prefix is the run's own (./dev makes a fresh one each time);
# without one, as from a plain ctest, the shared one in the cache.
if("$ENV{WINEPREFIX}" STREQUAL "")
    set(ENV{WINEPREFIX} "$ENV{HOME}/.cache/vossik/wineprefix")
endif()
execute_process(COMMAND wine ${TEST} -o ${REPORT},txt RESULT_VARIABLE status)
if(EXISTS ${REPORT})
    file(READ ${REPORT} report)
    message("${report}")
endif()
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TEST} failed (${status})")
endif()
