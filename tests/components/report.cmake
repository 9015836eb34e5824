qpx_add_test(test_reportengine SOURCES test_reportengine.cpp LIBS qpx_core)
