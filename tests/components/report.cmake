qpx_add_test(test_reportengine SOURCES test_reportengine.cpp reportrows.h LIBS qpx_core)
if(NOT QPX_CORE_ONLY)
    qpx_add_test(test_reportrender SOURCES test_reportrender.cpp reportrows.h LIBS qpx_gui GUI)
endif()
