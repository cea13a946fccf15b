#include "CActive.h"

#include "CActiveScheduler.h"
#include "Log.h"

namespace core {

namespace {

// Serial numbers for fatal-error messages; objects are made on the main thread.
uint32_t next_id = 1;

CActiveScheduler& scheduler(char16_t const* where)
{
    auto* s = CActiveScheduler::instance();
    if (!s)
        fatal_error(where, u"No active scheduler");
    return *s;
}

} // namespace

CActive::CActive()
    : id_(next_id++)
{
}

CActive::~CActive()
{
    if (is_active())
        fatal_error(u"CActive::~CActive()", u"Active object " + decimal(id_) + u" is already active");
}

void CActive::set_active()
{
    scheduler(u"CActive::set_active()").set_active(*this);
}

void CActive::notify()
{
    scheduler(u"CActive::notify()").notify(*this);
}

void CActive::cancel()
{
    if (!is_active())
        return;
    scheduler(u"CActive::cancel()").cancel(*this);
}

} // namespace core
