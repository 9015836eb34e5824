qpx_add_bench(bench_view SOURCES bench_view.cpp LIBS qpx_gui)
