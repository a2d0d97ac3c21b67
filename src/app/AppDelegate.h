#pragma once

#include "WidgetStore.h"

#include <QObject>

namespace notchora {

// Owns the top-level objects for the whole run and performs the start-up sequence.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    WidgetStore& store() { return m_store; }

    void applicationDidFinishLaunching();

private:
    WidgetStore m_store;
};

} // namespace notchora
