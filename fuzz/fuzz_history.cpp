// history.json as anyone may have left it. What decodes must survive a save and a reload
// unchanged, and what we write must be JSON the standard parser reads the same way.
#include "FuzzSupport.h"
#include "answer/ChatHistoryFile.h"

#include <QJsonDocument>

using notchora::ChatHistoryFile;
using namespace notchora::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto threads = ChatHistoryFile::decode(bytes(data, size));
    if (!threads)
        return 0;
    const QByteArray saved = ChatHistoryFile::encode(*threads);
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(saved, &error);
    require(error.error == QJsonParseError::NoError && doc.isArray(), "saved history is not JSON");
    require(doc.toJson(QJsonDocument::Compact) == saved,
            "saved history differs from the standard writer's");
    const auto reloaded = ChatHistoryFile::decode(saved);
    require(reloaded.has_value(), "saved history does not load again");
    require(*reloaded == *threads, "history changed across a save and a reload");
    return 0;
}
