# The data-bound grid component: its value types and the column arithmetic (Qt Core) in the core,
# the widgets in the GUI library.
target_sources(qpx_core PRIVATE
    gridtypes.h gridtypes.cpp
    columnfit.h columnfit.cpp)
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_gui PRIVATE dbgrid.h dbgrid.cpp)
endif()
