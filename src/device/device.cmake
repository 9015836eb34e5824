# The device link: the download protocol and the instrument simulator are headless (qpx_core);
# the serial port driver and the download runner need Qt SerialPort (qpx_device); the download
# dialog is a window (qpx_gui).
target_sources(qpx_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/downloadprotocol.h ${CMAKE_CURRENT_LIST_DIR}/downloadprotocol.cpp
    ${CMAKE_CURRENT_LIST_DIR}/instrumentsimulator.h ${CMAKE_CURRENT_LIST_DIR}/instrumentsimulator.cpp
    ${CMAKE_CURRENT_LIST_DIR}/linetrace.h ${CMAKE_CURRENT_LIST_DIR}/linetrace.cpp)
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_device PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/CPDrv.h ${CMAKE_CURRENT_LIST_DIR}/CPDrv.cpp
        ${CMAKE_CURRENT_LIST_DIR}/ptyinstrument.h ${CMAKE_CURRENT_LIST_DIR}/ptyinstrument.cpp
        ${CMAKE_CURRENT_LIST_DIR}/downloadrunner.h ${CMAKE_CURRENT_LIST_DIR}/downloadrunner.cpp
        ${CMAKE_CURRENT_LIST_DIR}/serialports.h ${CMAKE_CURRENT_LIST_DIR}/serialports.cpp)
    target_sources(qpx_gui PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/receive.h ${CMAKE_CURRENT_LIST_DIR}/receive.cpp
        ${CMAKE_CURRENT_LIST_DIR}/portsdialog.h ${CMAKE_CURRENT_LIST_DIR}/portsdialog.cpp)
endif()
