#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Shared by the fuzz targets: quiet logging (warnings for bad input are expected and would
// slow every run), and a check that stops the run where an invariant breaks.
namespace notchora::fuzz {

inline void quietLogging() {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

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
