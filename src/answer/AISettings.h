#pragma once

#include "answer/AIModels.h"

#include <QPointF>
#include <QString>
#include <optional>

namespace notchora {

class Defaults;

// Reads the assistant's preferences that need interpreting. The other "ai." keys are read
// and written directly under the names below.
namespace AISettings {

inline constexpr auto baseURLKey = "ai.baseURL";
inline constexpr auto popupPositionKey = "ai.popupPosition";
inline constexpr auto popupFreeXKey = "ai.popupFreeX";
inline constexpr auto popupFreeYKey = "ai.popupFreeY";
inline constexpr auto attachScreenKey = "ai.attachScreen";
inline constexpr auto saveHistoryKey = "ai.saveHistory";

// Where the answer service lives.
inline constexpr auto productionBaseURL = "https://answer.notchora.app";
// The development service (notchora-answerd); a stored copy of it means "use production".
inline constexpr auto localDevelopmentURL = "http://127.0.0.1:8787";

// Overrides the stored base URL for this process when set.
inline constexpr auto baseURLOverrideVariable = "NOTCHORA_ANSWER_BASE_URL";

// The stored base URL, or production when absent, empty or the development address.
QString baseURL(const Defaults& defaults);
QString baseURL();
// Why a base URL that parses cannot be used (not http or https, or no host), as the settings
// show it; empty when it can be used or does not parse at all.
QString baseURLProblem(const QString& baseURL);
AIPopupPosition popupPosition(const Defaults& defaults);
AIPopupPosition popupPosition();
// Present only when both coordinates are stored; a stored non-number reads as 0.
std::optional<QPointF> freeOrigin(const Defaults& defaults);
std::optional<QPointF> freeOrigin();
bool attachScreen(const Defaults& defaults);
bool saveHistory(const Defaults& defaults);
bool saveHistory();

} // namespace AISettings
} // namespace notchora
