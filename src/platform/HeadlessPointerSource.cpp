#include "platform/HeadlessPointerSource.h"

namespace notchora {

void HeadlessPointerSource::moveTo(const QPointF& position) {
    const bool changed = position != m_position;
    m_position = position;
    if (changed && users() > 0)
        emit moved(position);
}

} // namespace notchora
