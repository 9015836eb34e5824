qpx_add_bench(bench_export SOURCES bench_export.cpp LIBS qpx_core qpx_xlsx)
qpx_add_bench(bench_chart GUI SOURCES bench_chart.cpp LIBS qpx_gui)
