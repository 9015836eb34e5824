qpx_add_test(test_dbftable SOURCES test_dbftable.cpp dbftesting.h LIBS qpx_core)
qpx_add_test(test_memoryimport SOURCES test_memoryimport.cpp dbftesting.h imagetesting.h LIBS qpx_core)
qpx_add_test(test_dbfsafety SOURCES test_dbfsafety.cpp dbftesting.h imagetesting.h LIBS qpx_core)
qpx_add_test(test_dbfinterop SOURCES test_dbfinterop.cpp dbftesting.h LIBS qpx_core)
