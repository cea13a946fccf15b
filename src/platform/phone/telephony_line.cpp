#include "telephony_line.h"

#include "phone_state.h"
#include <platform/services/registry_values.h>

namespace platform {

namespace {

class RegistryTelephonyLine final : public TelephonyLine {
public:
    std::vector<std::u16string> line_names() override
    {
        auto name = read_text(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_NAME);
        if (!name)
            return {};
        return { *name };
    }

    std::vector<LineCall> calls(size_t device) override
    {
        if (device != 0)
            return {};
        auto const state = read_dword(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_CALL_STATE);
        if (!state || *state == static_cast<uint32_t>(LineCallState::IDLE)
            || *state > static_cast<uint32_t>(LineCallState::ON_HOLD))
            return {};
        LineCall call;
        call.state = static_cast<LineCallState>(*state);
        auto const direction = read_dword(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_CALL_DIRECTION);
        if (direction && *direction <= static_cast<uint32_t>(LineCallDirection::OUTGOING))
            call.direction = static_cast<LineCallDirection>(*direction);
        auto const media = read_dword(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_MEDIA);
        if (media && *media <= static_cast<uint32_t>(LineMedia::DATA))
            call.media = static_cast<LineMedia>(*media);
        call.name = read_text(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_PARTY_NAME).value_or(u"");
        call.number = read_text(store_, RegistryRoot::LOCAL_MACHINE, LINE_KEY, LINE_PARTY_NUMBER).value_or(u"");
        return { call };
    }

private:
    RegistryStore& store_ = RegistryStore::instance();
};

} // namespace

std::unique_ptr<TelephonyLine> open_telephony_line()
{
    return std::make_unique<RegistryTelephonyLine>();
}

} // namespace platform
