# The application shell: main window with the table document, splash window, about box and the
# program's pictures.
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_gui PRIVATE
        main.h main.cpp
        logo.h logo.cpp
        about.h about.cpp
        qpx.qrc)
    # The installed manual, used when no manual lies beside the executable.
    target_compile_definitions(qpx_gui PRIVATE
        QPX_HELP_FILE="${CMAKE_INSTALL_FULL_DATADIR}/qpx/qpx.html")
endif()
if(WIN32 AND NOT QPX_CORE_ONLY)
    # Version information fed from project(), the icon, and the manifest (common controls 6 for
    # visual styles, UTF-8 code page, per-monitor DPI awareness) compiled in as resource 1.
    set(QPX_WINDOWS_ICON ${PROJECT_SOURCE_DIR}/dist/windows/qpx.ico)
    set(QPX_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/qpx.manifest)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/qpx.manifest.in ${QPX_MANIFEST} @ONLY)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/qpx.rc.in ${CMAKE_CURRENT_BINARY_DIR}/qpx.rc @ONLY)
    target_sources(qpx PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/qpx.rc)
    if(MSVC)
        # The resource carries the manifest; the linker must not add a second one.
        target_link_options(qpx PRIVATE /MANIFEST:NO)
    endif()
endif()
