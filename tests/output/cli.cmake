# The real qpx-cli run under two locales, its outputs read by independent readers.
if(NOT QPX_CORE_ONLY)
    qpx_add_test(test_cli_outputs SOURCES test_cli_outputs.cpp LIBS qpx_core)
    add_dependencies(test_cli_outputs qpx-cli)
endif()
