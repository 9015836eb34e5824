# The application shell: main window with the table document, splash window, about box, help
# window and the program's pictures.
if(NOT QPX_CORE_ONLY)
    include(GNUInstallDirs)
    target_sources(qpx_gui PRIVATE
        main.h main.cpp
        logo.h logo.cpp
        about.h about.cpp
        helpwindow.h helpwindow.cpp
        qttexts.h qttexts.cpp
        qpx.qrc)
    # The manual, used when "qpx.html" is not beside the executable.
    target_compile_definitions(qpx_gui PRIVATE
        QPX_HELP_FILE="${CMAKE_INSTALL_FULL_DATADIR}/qpx/qpx.html")

    # A build-tree run finds the manual beside the executable: qpx.html and its pictures are
    # copied next to qpx whenever they change.
    set(qpx_manual_dir ${PROJECT_SOURCE_DIR}/docs/manual)
    file(GLOB qpx_manual_pictures CONFIGURE_DEPENDS ${qpx_manual_dir}/qpx-help/*)
    set(qpx_manual_stamp ${CMAKE_CURRENT_BINARY_DIR}/qpx_manual.stamp)
    add_custom_command(OUTPUT ${qpx_manual_stamp}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qpx_manual_dir}/qpx.html $<TARGET_FILE_DIR:qpx>/qpx.html
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${qpx_manual_dir}/qpx-help $<TARGET_FILE_DIR:qpx>/qpx-help
        COMMAND ${CMAKE_COMMAND} -E touch ${qpx_manual_stamp}
        DEPENDS ${qpx_manual_dir}/qpx.html ${qpx_manual_pictures}
        COMMENT "Copying the operator's manual beside qpx"
        VERBATIM)
    add_custom_target(qpx_manual DEPENDS ${qpx_manual_stamp})
    add_dependencies(qpx qpx_manual)
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
