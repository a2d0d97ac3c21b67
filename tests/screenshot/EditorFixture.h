#pragma once

#include "TestEnvironment.h"
#include "TestImages.h"
#include "platform/Defaults.h"
#include "screenshot/AnnotationEditor.h"

#include <QDir>

namespace notchora::test {

// A fresh profile for the red-box editor's tests: screenshots go to <root>/shots, the box
// thickness is at its default, and test pictures are flat `background` PNGs.
class EditorFixture {
public:
    static constexpr QRgb background = 0xff1e783c; // qRgb(30, 120, 60)

    // The red of a box, allowing for smoothing.
    static bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 110 && qBlue(c) < 110; }

    void resetProfile() {
        Defaults::shared(QStringLiteral("screencapture"))
            .setString(QStringLiteral("location"), folder());
        Defaults::shared().remove(AnnotationEditor::thicknessSetting.name());
        QDir(folder()).removeRecursively();
    }
    QString folder() const { return m_env.root() + QStringLiteral("/shots"); }
    QString writePicture(const QString& name, QSize pixels, double dpi) const {
        return writeFlatPicture(m_env.root() + '/' + name, pixels, dpi, background);
    }

protected:
    TestEnvironment m_env;
};

} // namespace notchora::test
