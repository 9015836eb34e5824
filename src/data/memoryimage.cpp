#include "memoryimage.h"

MemoryImage &memoryImage()
{
    static MemoryImage image;
    return image;
}

DeviceInfo &deviceInfo()
{
    static DeviceInfo info;
    return info;
}
