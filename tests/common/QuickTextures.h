#pragma once

#include <QQuickWindow>
#include <QTest>

namespace notchora::test {

// Qt Quick's software renderer frees the textures of a deleted window's images only when it
// next draws a window; after the last one it never does, and the leak checker would report
// them (the combo boxes' indicators, the attachment thumbnails). Call once, last.
inline bool releaseQuickTextures() {
    QQuickWindow empty;
    empty.show();
    return QTest::qWaitForWindowExposed(&empty);
}

} // namespace notchora::test
