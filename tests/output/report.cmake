if(NOT QPX_CORE_ONLY)
    qpx_add_test(test_measurementreport SOURCES test_measurementreport.cpp LIBS qpx_gui GUI)
endif()
