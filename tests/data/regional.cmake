qpx_add_test(test_regional SOURCES test_regional.cpp LIBS qpx_core)
