# The measurement report: its template and data source (core) and the commands (GUI).
target_sources(qpx_core PRIVATE
    reportlayout.h reportlayout.cpp
    reportsource.h reportsource.cpp)
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_gui PRIVATE
        measurementreport.h measurementreport.cpp)
endif()
