#pragma once

#include "platform/PointerSource.h"

namespace notchora {

// The pointer where no display server reports one: it sits where it was last put, and
// `moveTo` reports a movement the way a real device would.
class HeadlessPointerSource final : public PointerSource {
    Q_OBJECT
public:
    using PointerSource::PointerSource;

    QPointF position() const override { return m_position; }
    // Moves the pointer; reported when someone listens and the position changed.
    void moveTo(const QPointF& position);
    // Moves it without any report, like a warp the source cannot see.
    void warpTo(const QPointF& position) { m_position = position; }

protected:
    void startWatching() override {}
    void stopWatching() override {}

private:
    QPointF m_position;
};

} // namespace notchora
