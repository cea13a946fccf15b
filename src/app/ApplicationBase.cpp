#include "ApplicationBase.h"

namespace app {

namespace {

// The instance record, apart from the singleton's: the two guard different mistakes.
ApplicationBase* current_instance = nullptr;

} // namespace

ApplicationBase::ApplicationBase(core::String const& name)
    : Singleton(this)
    , window_class_(u"VizuvevClass_" + name)
    , name_(name)
{
    if (current_instance)
        core::fatal_error(u"Application::Application", u"instance != 0");
    current_instance = this;
    scheduler_ = std::make_unique<core::CActiveScheduler>(window_class_);
}

ApplicationBase::~ApplicationBase()
{
    scheduler_.reset();
    current_instance = nullptr;
}

} // namespace app
