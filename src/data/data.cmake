# The measurement table, its dBase table file and the memory image import.
target_sources(qpx_core PRIVATE
    codepage.h codepage.cpp
    dbfio.h dbfio.cpp
    dbffield.h
    dbffile.h dbffile.cpp
    dbfformat.h dbfformat.cpp
    dbforder.h dbforder.cpp
    dbfindex.h dbfindex.cpp
    dbftable.h dbftableprivate.h dbftable.cpp dbftableorder.cpp dbftablevalues.cpp
    measurementtable.h measurementtable.cpp
    tableedits.h tableedits.cpp
    memoryimport.h memoryimport.cpp)
