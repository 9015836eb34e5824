# The report component: the engine (layout and page building, Qt Core) in the core, drawing and
# PDF (Qt Gui) in the drawing library, printing and the preview window in the GUI library.
target_sources(qpx_core PRIVATE
    reportengine.h reportengine.cpp)
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_draw PRIVATE
        reportrender.h reportrender.cpp)
    target_sources(qpx_gui PRIVATE
        reportprint.h reportprint.cpp
        reportpreview.h reportpreview.cpp)
endif()
