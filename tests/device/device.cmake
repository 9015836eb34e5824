# The download protocol and the simulator's encoding are headless: their tests run in the
# core-only build too. The driver, the runner, the dialog and the end-to-end runs need a
# pseudo-terminal, Qt SerialPort and qpx-cli.
qpx_add_test(test_downloadprotocol
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_downloadprotocol.cpp ${CMAKE_CURRENT_LIST_DIR}/protocolharness.h
            ${CMAKE_CURRENT_LIST_DIR}/test_instrumentsimulator.cpp
    LIBS qpx_core)
if(NOT QPX_CORE_ONLY)
    qpx_add_test(test_cpdrv
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cpdrv.cpp ${CMAKE_CURRENT_LIST_DIR}/test_serialports.cpp ${CMAKE_CURRENT_LIST_DIR}/ptytestkit.h
            ${CMAKE_CURRENT_LIST_DIR}/test_linetrace.cpp
        LIBS qpx_device)
    qpx_add_test(test_download_gui GUI
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_receive.cpp
        LIBS qpx_gui)
    qpx_add_test(test_download_e2e
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_download_e2e.cpp
        LIBS qpx_core)
    add_dependencies(test_download_e2e qpx-cli)
endif()
