#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Shared by the fuzz targets: a check that stops the run where an invariant breaks.
// (FuzzSupport.cpp, linked into every target, quiets the logging.)
namespace notchora::fuzz {

// Ends the run the way a crash does, so libFuzzer keeps the input.
inline void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

} // namespace notchora::fuzz
