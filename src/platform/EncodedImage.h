#pragma once

#include <QByteArray>

namespace notchora {

// An encoded JPEG ready to upload, with its pixel size: what a screen capture or a pasted
// image becomes once it fits the upload budget.
struct EncodedImage {
    QByteArray data;
    int width = 0;
    int height = 0;
    bool operator==(const EncodedImage&) const = default;
};

} // namespace notchora
