#pragma once

#include <QJsonObject>
#include <QString>

namespace notchora::answerd {

// Reads a model's whole reply as the service's answer result.
class ModelReply {
public:
    // With `jsonAsked`, a JSON object with "text", "choice" and "confidence" is read (also
    // inside a Markdown code fence); anything else is the answer's text as written.
    static QJsonObject result(const QString& reply, bool jsonAsked);
};

} // namespace notchora::answerd
