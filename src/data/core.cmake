# Shared core pieces: errors, regional settings, the memory image, operator messages.
# (Paths are relative to this folder.)
target_sources(qpx_core PRIVATE
    errors.h messages.h
    regional.h regional.cpp
    clocalescope.h clocalescope.cpp
    memoryimage.h memoryimage.cpp
    settingsstore.h settingsstore.cpp)
