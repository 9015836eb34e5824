qpx_add_test(test_export SOURCES test_export.cpp chart_fixture.h LIBS qpx_core)
