# The plugin library exports exactly the client's 23 entry points, and
# needs no Qt library: the client has a Qt of its own.
set(expected
    ts3plugin_apiVersion ts3plugin_author ts3plugin_description ts3plugin_freeMemory ts3plugin_init
    ts3plugin_initMenus ts3plugin_name ts3plugin_onMenuItemEvent ts3plugin_onTalkStatusChangeEvent
    ts3plugin_registerPluginID ts3plugin_setFunctionPointers ts3plugin_shutdown ts3plugin_version
    ts3plugin_onConnectStatusChangeEvent ts3plugin_onClientMoveEvent ts3plugin_onClientMoveTimeoutEvent
    ts3plugin_onClientMoveMovedEvent ts3plugin_onClientKickFromChannelEvent ts3plugin_onClientKickFromServerEvent
    ts3plugin_onClientSelfVariableUpdateEvent ts3plugin_currentServerConnectionChanged ts3plugin_initHotkeys
    ts3plugin_onHotkeyEvent)
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(exported)
foreach(line IN LISTS lines)
    # "<address> <type> <name>": code (T) and data (D, B, R) symbols both count.
    if(line MATCHES "^[0-9a-fA-F]+ [TtDdBbRrVvWwi] ([^ ]+)$")
        list(APPEND exported ${CMAKE_MATCH_1})
    endif()
endforeach()
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "exported: ${exported}\nexpected: ${expected}")
endif()
list(LENGTH exported count)
message(STATUS "${count} entry points exported, nothing else")

execute_process(COMMAND objdump -p ${LIBRARY} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
string(REGEX MATCHALL "NEEDED +[^\n]+" needed "${headers}")
if(NOT status EQUAL 0 OR needed MATCHES "Qt")
    message(FATAL_ERROR "the plugin needs: ${needed}")
endif()
message(STATUS "needs ${needed}")
