# Device link: pseudo-terminal downloads and the received-data handler.
qpx_add_bench(bench_device SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_device.cpp LIBS qpx_device)
