#pragma once

namespace skin {

class PropertiesImpl;

// Told when the skin is replaced and the elements already built must take the new look. Construction
// enters the listener into the properties' set, destruction takes it out.
class SkinListener {
public:
    explicit SkinListener(PropertiesImpl& properties);
    virtual ~SkinListener();
    SkinListener(SkinListener const&) = delete;
    SkinListener& operator=(SkinListener const&) = delete;

    virtual void on_reload_skin(PropertiesImpl& properties) = 0;

private:
    PropertiesImpl& properties_;
};

} // namespace skin
