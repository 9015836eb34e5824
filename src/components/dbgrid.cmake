# The data-bound grid component.
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_gui PRIVATE dbgrid.h dbgrid.cpp)
endif()
