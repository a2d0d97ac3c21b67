// A settings file as anyone may have left it: it reads as values or as unreadable, and the
// values read back the same after a write.
#include "FuzzSupport.h"
#include "platform/Defaults.h"

#include <QJsonDocument>

using notchora::Defaults;
using namespace notchora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto values = Defaults::decode(bytes(data, size));
    if (!values)
        return 0;
    const QByteArray written = Defaults::encode(*values);
    require(Defaults::decode(written) == values, "settings changed across a write");
    return 0;
}
