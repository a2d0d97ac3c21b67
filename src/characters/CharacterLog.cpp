#include "characters/CharacterLog.h"

namespace notchora {

Q_LOGGING_CATEGORY(lcCharacters, "notchora.characters")

} // namespace notchora
