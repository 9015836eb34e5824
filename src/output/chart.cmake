# The chart parameters dialog (TForm4) and the chart window (TForm3).
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_gui PRIVATE param_graf.h param_graf.cpp graf.h graf.cpp)
endif()
