# Spreadsheet export: the call sequence and the recording back end are headless; the .xlsx back
# end has its own target (libxlsxwriter); the desktop hand-off lives with the windows.
target_sources(qpx_core PRIVATE
    excelautomation.h excelexport.h excelexport.cpp
    excelrecorder.h excelrecorder.cpp)
if(NOT QPX_CORE_ONLY)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
    add_library(qpx_xlsx STATIC excelxlsx.h excelxlsx.cpp)
    target_link_libraries(qpx_xlsx PUBLIC qpx_core PRIVATE PkgConfig::XLSXWRITER)
    target_sources(qpx_gui PRIVATE excelexport_desktop.cpp)
    target_link_libraries(qpx_gui PUBLIC qpx_xlsx)
endif()
