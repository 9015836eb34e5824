qpx_add_bench(bench_report SOURCES bench_report.cpp LIBS qpx_gui)
