#pragma once

#include "platform/EncodedImage.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <optional>

namespace notchora {

class CaptureTask;
class Clock;

// Silent full-screen captures for the assistant and the JPEG size ladder that makes any
// image small enough to upload. The pixels come from notchora-screencapture, run as a child
// process; this class decides the arguments and reads the file it wrote.
class ScreenCapture {
    Q_GADGET
public:
    enum class CaptureError { permissionDenied, captureFailed, tooLarge };
    Q_ENUM(CaptureError)

    // Exactly one of `image`, `error` or `launchError` is set.
    struct Result {
        std::optional<EncodedImage> image;
        std::optional<CaptureError> error;
        // The tool could not be started; passed on as the process reported it.
        QString launchError;

        static Result success(EncodedImage image) {
            Result r;
            r.image = std::move(image);
            return r;
        }
        static Result failure(CaptureError error) {
            Result r;
            r.error = error;
            return r;
        }
        static Result launchFailure(QString message) {
            Result r;
            r.launchError = std::move(message);
            return r;
        }

        bool ok() const { return image.has_value(); }
        QString errorMessage() const;
        bool operator==(const Result&) const = default;
    };

    struct Rung {
        int maxPixel;
        double quality;
    };
    // Tried in order; the first result within the byte limit wins.
    static constexpr std::array<Rung, 5> ladder{{
        {1920, 0.75},
        {1600, 0.65},
        {1280, 0.55},
        {1024, 0.50},
        {800, 0.45},
    }};
    // What the assistant allows for a screen capture or a pasted image.
    static constexpr qint64 assistantByteLimit = 1'200'000;

    static QString description(CaptureError error);

    // Whether the screen can be captured at all: an X11 display must be there.
    static bool preflightAccess();
    // notchora-screencapture beside the running executable; NOTCHORA_SCREENCAPTURE_TOOL
    // names another one.
    static QString toolPath();

    // Starts the assistant's capture: in-progress flag on, 150 ms pause, permission check,
    // tool run, ladder, flag off. The task reports `finished` once; destroying it cancels.
    static CaptureTask* capture(qint64 maxBytes, QObject* owner, Clock& clock);
    static CaptureTask* capture(qint64 maxBytes, QObject* owner);

    // Runs the ladder over bytes the caller already has, on a worker thread. `done` runs on
    // the GUI thread, and only while `receiver` lives.
    static void encode(const QByteArray& data, qint64 maxBytes, QObject* receiver,
                       std::function<void(const Result&)> done);

    // The ladder itself, synchronous; safe on any thread.
    static Result fit(const QByteArray& data, qint64 maxBytes);
    // One rung: decode (orientation applied), shrink to `maxPixel` on the longest side when
    // larger, encode as JPEG at `quality` (0…1).
    static Result downscale(const QByteArray& data, int maxPixel, double quality);
};

} // namespace notchora
