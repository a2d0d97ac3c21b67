#include "AppDelegate.h"

#include "Defaults.h"
#include "UpdateChecker.h"

namespace notchora {

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent), m_store(ModuleRegistry::shared(), Defaults::shared()) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    UpdateChecker::shared().startAutomaticChecks();
}

} // namespace notchora
