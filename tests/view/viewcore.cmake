qpx_add_test(test_view_core SOURCES test_gridstats.cpp test_gridlayout.cpp LIBS qpx_core)
