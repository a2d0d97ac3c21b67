#pragma once

#include "answer/AIModels.h"
#include "platform/Setting.h"

#include <QPointF>
#include <QString>
#include <optional>

namespace notchora {

class Defaults;

// The assistant's preferences: the "ai." settings with their defaults, and readers for
// those that need interpreting.
namespace AISettings {

// Empty: the production service.
inline constexpr Setting<QString> baseURLSetting{"ai.baseURL", ""};
inline constexpr Setting<QString> popupPositionSetting{"ai.popupPosition", "right"};
inline constexpr Setting<double> popupFreeXSetting{"ai.popupFreeX", 0.0, -1e6, 1e6};
inline constexpr Setting<double> popupFreeYSetting{"ai.popupFreeY", 0.0, -1e6, 1e6};
inline constexpr Setting<bool> attachScreenSetting{"ai.attachScreen", false};
inline constexpr Setting<bool> saveHistorySetting{"ai.saveHistory", true};

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
