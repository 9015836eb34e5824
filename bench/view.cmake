qpx_add_bench(bench_view OWN_MAIN SOURCES bench_view.cpp LIBS qpx_gui)
