# The mass-over-time chart: choosing the series, building and printing the chart (no widgets), and
# its windows, the chart parameters dialog (TForm4) and the chart window (TForm3).
if(NOT QPX_CORE_ONLY)
    target_sources(qpx_draw PRIVATE masschart.h masschart.cpp)
    target_sources(qpx_gui PRIVATE param_graf.h param_graf.cpp graf.h graf.cpp)
endif()
