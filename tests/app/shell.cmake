# Tests of the application shell: start-up, close, command map, about box, splash window and the
# table document.
if(NOT QPX_CORE_ONLY)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    qpx_add_test(test_shell GUI
        SOURCES test_shell.cpp test_document.cpp test_endtoend.cpp test_errorguard.cpp test_helpwindow.cpp scriptedprompts.h
        LIBS qpx_gui Qt6::Test)
endif()
