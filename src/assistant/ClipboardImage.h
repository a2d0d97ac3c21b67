#pragma once

#include <QByteArray>
#include <optional>

class QMimeData;

namespace notchora {

// The image a paste would bring, read from the clipboard: a copied image file first, then a
// text paste (which is never an image), then PNG, then TIFF, then an image copied inside
// this program (held as a QImage, sent on as PNG).
class ClipboardImage {
public:
    ClipboardImage() = delete;

    // Copied files larger than this are not read on the GUI thread.
    static constexpr qint64 maxFileBytes = 100 * 1024 * 1024;

    static std::optional<QByteArray> imageData();
    static std::optional<QByteArray> imageData(const QMimeData& data);
};

} // namespace notchora
