# The report component: the engine (layout and page building, Qt Core) in the core, drawing,
# PDF, printing and the preview window in the GUI library.
target_sources(qpx_core PRIVATE
    reportengine.h reportengine.cpp)
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_gui PRIVATE
        reportrender.h reportrender.cpp
        reportpreview.h reportpreview.cpp)
endif()
