# The data-bound grid component: its value types, the column arithmetic and the record selection
# (Qt Core) in the core, the widgets in the GUI library.
target_sources(qpx_core PRIVATE
    gridtypes.h gridtypes.cpp
    columnfit.h columnfit.cpp
    dbgridselection.h dbgridselection.cpp)
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_gui PRIVATE
        dbgrid.h dbgrid.cpp
        dbgridmodel.h dbgridmodel.cpp
        dbgridview.h dbgridview.cpp
        dbgridtitle.h dbgridtitle.cpp)
endif()
