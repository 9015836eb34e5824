qpx_add_test(test_dbftable SOURCES test_dbftable.cpp dbftesting.h LIBS qpx_core)
