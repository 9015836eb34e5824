if(NOT QPX_CORE_ONLY)
    target_sources(qpx_gui PRIVATE
        prompts.h prompts.cpp
        errorguard.h errorguard.cpp
        apptitle.h apptitle.cpp)
endif()
