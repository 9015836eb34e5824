# The application shell: main window with the table document, splash window, about box and the
# program's pictures.
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_gui PRIVATE
        main.h main.cpp
        logo.h logo.cpp
        about.h about.cpp
        qpx.qrc)
    # Used when "qpx.hlp" is not beside the executable.
    target_compile_definitions(qpx_gui PRIVATE
        QPX_HELP_FILE="${CMAKE_INSTALL_PREFIX}/share/qpx/qpx.hlp")
endif()
if(WIN32 AND NOT QPX_CORE_ONLY)
    target_sources(qpx PRIVATE ${CMAKE_CURRENT_LIST_DIR}/qpx.rc)
endif()
