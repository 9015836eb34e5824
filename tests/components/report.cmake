qpx_add_test(test_reportengine SOURCES test_reportengine.cpp LIBS qpx_core)
if(NOT QPX_CORE_ONLY)
    qpx_add_test(test_reportrender SOURCES test_reportrender.cpp LIBS qpx_gui GUI)
endif()
