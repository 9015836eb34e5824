# The measurement report: its template and data source (core), its pages and PDF file (drawing
# library) and the commands (GUI).
target_sources(qpx_core PRIVATE
    reportlayout.h reportlayout.cpp
    reportsource.h reportsource.cpp)
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_draw PRIVATE
        reportpages.h reportpages.cpp)
    target_sources(qpx_gui PRIVATE
        measurementreport.h measurementreport.cpp)
endif()
