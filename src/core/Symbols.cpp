#include "core/Symbols.h"

#include "platform/SymbolIcons.h"

namespace notchora {

QString Symbols::fontFamily() const {
    return SymbolIcons::fontFamily();
}

QString Symbols::glyph(const QString& symbolName) const {
    return SymbolIcons::ligature(symbolName);
}

} // namespace notchora
