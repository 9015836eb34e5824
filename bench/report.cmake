qpx_add_bench(bench_report GUI SOURCES bench_report.cpp LIBS qpx_gui)
