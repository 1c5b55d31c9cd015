#include "player/SettingsMenuFactory.h"

namespace {

SettingsMenuFactory& registeredFactory()
{
    static SettingsMenuFactory factory;
    return factory;
}

}  // namespace

void setSettingsMenuFactory(SettingsMenuFactory factory)
{
    registeredFactory() = std::move(factory);
}

ViewController* makeSettingsMenu(const LiveTableRef& settings)
{
    const SettingsMenuFactory& factory = registeredFactory();
    return factory ? factory(settings) : nullptr;
}
