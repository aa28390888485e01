# The plugin library exports exactly the client's 26 entry points, and
# needs no Qt library: the client has a Qt of its own. LIBRARY is the Linux
# .so or the Windows DLL; OBJDUMP, if given, reads the DLL (else objdump).
set(expected
    ts3plugin_apiVersion ts3plugin_author ts3plugin_description ts3plugin_freeMemory ts3plugin_init
    ts3plugin_initMenus ts3plugin_name ts3plugin_onMenuItemEvent ts3plugin_onTalkStatusChangeEvent
    ts3plugin_registerPluginID ts3plugin_setFunctionPointers ts3plugin_shutdown ts3plugin_version
    ts3plugin_onConnectStatusChangeEvent ts3plugin_onClientMoveEvent ts3plugin_onClientMoveTimeoutEvent
    ts3plugin_onClientMoveMovedEvent ts3plugin_onClientKickFromChannelEvent ts3plugin_onClientKickFromServerEvent
    ts3plugin_onClientSelfVariableUpdateEvent ts3plugin_currentServerConnectionChanged ts3plugin_initHotkeys
    ts3plugin_onHotkeyEvent ts3plugin_onClientMoveSubscriptionEvent ts3plugin_onClientPokeEvent
    ts3plugin_onTextMessageEvent)
if(NOT OBJDUMP)
    set(OBJDUMP objdump)
endif()
set(exported)
if(LIBRARY MATCHES "\\.[dD][lL][lL]$")
    execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${OBJDUMP} failed on ${LIBRARY}")
    endif()
    # The names follow "[Ordinal/Name Pointer] Table", one "[ index] name"
    # line each, up to a blank line.
    string(FIND "${headers}" "[Ordinal/Name Pointer] Table\n" start)
    if(start GREATER_EQUAL 0)
        string(SUBSTRING "${headers}" ${start} -1 table)
        string(FIND "${table}" "\n\n" end)
        string(SUBSTRING "${table}" 0 ${end} table)
        string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entries "${table}")
        foreach(entry IN LISTS entries)
            string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${entry}")
            list(APPEND exported ${name})
        endforeach()
    endif()
    string(REGEX MATCHALL "DLL Name: [^\n]+" needed "${headers}")
else()
    execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "nm failed on ${LIBRARY}")
    endif()
    string(REGEX MATCHALL "[^\n]+" lines "${listing}")
    foreach(line IN LISTS lines)
        # "<address> <type> <name>": code (T) and data (D, B, R) symbols both count.
        if(line MATCHES "^[0-9a-fA-F]+ [TtDdBbRrVvWwi] ([^ ]+)$")
            list(APPEND exported ${CMAKE_MATCH_1})
        endif()
    endforeach()
    execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
    string(REGEX MATCHALL "NEEDED +[^\n]+" needed "${headers}")
endif()
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "exported: ${exported}\nexpected: ${expected}")
endif()
list(LENGTH exported count)
message(STATUS "${count} entry points exported, nothing else")

if(NOT status EQUAL 0 OR needed MATCHES "Qt")
    message(FATAL_ERROR "the plugin needs: ${needed}")
endif()
message(STATUS "needs ${needed}")
