#include "platform/PointerSource.h"

namespace notchora {

void PointerSource::acquire() {
    if (m_users++ == 0)
        startWatching();
}

void PointerSource::release() {
    if (m_users == 0)
        return;
    if (--m_users == 0)
        stopWatching();
}

void PointerSource::setPollingWanted(bool wanted) {
    if (m_pollingWanted == wanted)
        return;
    m_pollingWanted = wanted;
    pollingWantedChanged();
}

} // namespace notchora
