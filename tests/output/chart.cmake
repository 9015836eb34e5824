if(NOT QPX_CORE_ONLY)
    qpx_add_test(test_chart SOURCES test_chart.cpp LIBS qpx_gui GUI)
    qpx_add_test(test_chart_table SOURCES test_chart_table.cpp chart_fixture.h LIBS qpx_gui GUI)
endif()
