# The run-time of the Windows programs, installed beside them (CMAKE_INSTALL_BINDIR is the
# installation folder itself on Windows): Windows looks for a program's DLLs in its own folder
# first, and Qt for its plugins in the platform, style and image format folders there. Every file
# is named here; tests/install/windows_stage.sh proves that the folder satisfies every import.
set(qpx_bin ${CMAKE_INSTALL_BINDIR})

# Qt's libraries: the modules the two programs link.
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::Core Qt6::Gui Qt6::Widgets Qt6::PrintSupport Qt6::SerialPort
        RUNTIME DESTINATION ${qpx_bin})

# Qt's plugins: the desktop platform (qpx), the headless one (qpx-cli draws charts and reports
# without a display), and the native look of the controls. No image format plugin is needed: the
# program's pictures and the manual's are PNG, which Qt reads without a plugin.
foreach(plugin platforms:QWindowsIntegrationPlugin platforms:QOffscreenIntegrationPlugin
               styles:QWindowsVistaStylePlugin)
    string(REPLACE ":" ";" plugin "${plugin}")
    list(GET plugin 0 kind)
    list(GET plugin 1 target)
    if(NOT TARGET Qt6::${target})
        message(FATAL_ERROR "The Qt for Windows in use has no ${target} (${kind}/)")
    endif()
    install(IMPORTED_RUNTIME_ARTIFACTS Qt6::${target} LIBRARY DESTINATION ${qpx_bin}/${kind}
            RUNTIME DESTINATION ${qpx_bin}/${kind})
endforeach()

# libxlsxwriter and the zlib it needs, from the folder of the import library pkg-config found.
find_file(QPX_XLSXWRITER_DLL NAMES libxlsxwriter.dll xlsxwriter.dll
          HINTS ${XLSXWRITER_PREFIX}/bin ${XLSXWRITER_LIBDIR}/../bin NO_DEFAULT_PATH)
find_file(QPX_ZLIB_DLL NAMES zlib1.dll libz-1.dll
          HINTS ${XLSXWRITER_PREFIX}/bin ${XLSXWRITER_LIBDIR}/../bin)
# The compiler's own run-time (C++ library, unwinder, threads): the copies of the compiler that
# built the programs. (MSVC's run-time is the system's redistributable.)
set(qpx_runtime_dlls)
set(qpx_compiler_dlls)
if(MINGW)
    set(qpx_compiler_dlls libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
endif()
foreach(dll IN LISTS qpx_compiler_dlls)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
        # Not where the compiler says: the copy beside libxlsxwriter (the SDK's).
        unset(found)
        find_file(found NAMES ${dll} HINTS ${XLSXWRITER_PREFIX}/bin NO_CACHE)
    endif()
    list(APPEND qpx_runtime_dlls ${found})
endforeach()
foreach(dll IN LISTS QPX_XLSXWRITER_DLL QPX_ZLIB_DLL qpx_runtime_dlls)
    if(NOT EXISTS "${dll}")
        message(FATAL_ERROR "A DLL the Windows programs load was not found: ${dll}")
    endif()
endforeach()
install(FILES ${QPX_XLSXWRITER_DLL} ${QPX_ZLIB_DLL} ${qpx_runtime_dlls} DESTINATION ${qpx_bin})

# Qt's own texts in Russian (dialog buttons, the print dialog): the SDK's when it has them, else
# Debian's (qt6-translations-l10n, the same Qt version). qt.conf tells Qt where they are, and that
# the plugins are in the program's folder.
find_file(QPX_QTBASE_RU qtbase_ru.qm
          HINTS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS} /usr/share/qt6/translations
          NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT QPX_QTBASE_RU)
    message(FATAL_ERROR "qtbase_ru.qm not found (Debian: qt6-translations-l10n)")
endif()
install(FILES ${QPX_QTBASE_RU} DESTINATION ${qpx_bin}/translations)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/qt.conf DESTINATION ${qpx_bin})
