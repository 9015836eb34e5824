# The chart component (one line series over a date-time axis), drawn with QPainter; the widget
# that shows it on screen lives with the windows.
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_draw PRIVATE chart.h chart.cpp)
    target_sources(qpx_gui PRIVATE chartview.h chartview.cpp)
endif()
