# Table view: headless pieces (statistics, layout text, column arithmetic) in the core, the
# controller of the grid in the GUI library.
target_sources(qpx_core PRIVATE
    gridlayout.h gridlayout.cpp
    columnfit.h columnfit.cpp
    selectionstats.h selectionstats.cpp)
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_gui PRIVATE
        tablecontroller.h tablecontroller.cpp)
endif()
