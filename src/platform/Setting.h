#pragma once

#include <QString>
#include <limits>
#include <type_traits>

namespace notchora {

// One entry of a settings table: the key in the defaults store, the value's type, the
// value used while nothing of that type is stored and, for numbers, the range a stored value
// is held to when read (a value edited in the file by hand must not take the program down).
// Each owner declares its settings once, as constants, and every reader goes through them
// (Defaults::read).
template <typename T> struct Setting {
    static_assert(std::is_same_v<T, bool> || std::is_same_v<T, double> ||
                      std::is_same_v<T, QString>,
                  "settings are Booleans, numbers or text");
    // Text defaults are stored as literals so a table can be constexpr.
    using Fallback = std::conditional_t<std::is_same_v<T, QString>, const char*, T>;

    const char* key;
    Fallback fallback;
    double minimum = -std::numeric_limits<double>::max();
    double maximum = std::numeric_limits<double>::max();

    QString name() const { return QString::fromLatin1(key); }
    T defaultValue() const {
        if constexpr (std::is_same_v<T, QString>)
            return QString::fromUtf8(fallback);
        else
            return fallback;
    }
};

} // namespace notchora
