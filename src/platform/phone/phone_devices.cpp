#include "phone_devices.h"

#include "phone_state.h"
#include <platform/services/registry_values.h>

namespace platform {

namespace {

class RegistryPhoneDevices final : public PhoneDevices {
public:
    size_t device_count() override { return 1; }
    bool set_speaker(size_t device, bool on) override
    {
        return device == 0 && write_dword(store_, RegistryRoot::LOCAL_MACHINE, PHONE_DEVICE_KEY, SPEAKER_REQUEST, on);
    }

private:
    RegistryStore& store_ = RegistryStore::instance();
};

} // namespace

std::unique_ptr<PhoneDevices> open_phone_devices()
{
    if (!RegistryStore::instance().is_open())
        return nullptr;
    return std::make_unique<RegistryPhoneDevices>();
}

} // namespace platform
