#include "platform/device_profile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DeviceProfile profile;
    std::string error;
    ParseDeviceProfile(std::string(reinterpret_cast<const char*>(data), size), profile, error);
    return 0;
}
