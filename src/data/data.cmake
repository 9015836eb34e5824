# The measurement table, its dBase table file and the memory image import.
target_sources(qpx_core PRIVATE
    codepage.h codepage.cpp
    dbfio.h dbfio.cpp
    dbftable.h dbftable.cpp
    measurementtable.h measurementtable.cpp
    memoryimport.h memoryimport.cpp)
