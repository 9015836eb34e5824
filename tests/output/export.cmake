qpx_add_test(test_export SOURCES test_export.cpp chart_fixture.h LIBS qpx_core)
if(NOT QPX_CORE_ONLY)
    qpx_add_test(test_export_xlsx SOURCES test_export_xlsx.cpp chart_fixture.h LIBS qpx_xlsx)
endif()
