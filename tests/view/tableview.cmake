if(NOT QPX_CORE_ONLY)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    qpx_add_test(test_tablecontroller SOURCES test_tablecontroller.cpp viewtesting.h LIBS qpx_gui Qt6::Test GUI)
endif()
