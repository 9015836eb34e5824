# The chart component (one line series over a date-time axis), drawn with QPainter.
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_gui PRIVATE chart.h chart.cpp)
endif()
