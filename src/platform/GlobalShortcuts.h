#pragma once

#include <QKeyCombination>
#include <QObject>

namespace notchora {

// Key combinations the desktop hands to us wherever the keyboard focus is.
class GlobalShortcuts : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Takes `key` for the whole desktop. False when the desktop or another program holds it
    // already, or when keys cannot be taken here at all; nothing is held then.
    virtual bool grab(QKeyCombination key) = 0;
    // Gives a key taken by `grab` back; nothing happens for one not held.
    virtual void release(QKeyCombination key) = 0;

signals:
    void activated(QKeyCombination key);
};

// Where no desktop hands keys out (headless runs): every grab fails.
class HeadlessGlobalShortcuts final : public GlobalShortcuts {
    Q_OBJECT
public:
    using GlobalShortcuts::GlobalShortcuts;
    bool grab(QKeyCombination) override { return false; }
    void release(QKeyCombination) override {}
};

} // namespace notchora
