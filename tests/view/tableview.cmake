if(NOT QPX_CORE_ONLY)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    qpx_add_test(test_tableview SOURCES test_tableview.cpp viewtesting.h LIBS qpx_gui Qt6::Test GUI)
endif()
