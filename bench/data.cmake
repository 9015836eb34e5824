qpx_add_bench(bench_data SOURCES bench_data.cpp LIBS qpx_core)
