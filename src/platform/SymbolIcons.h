#pragma once

#include <QString>
#include <QStringList>

// The program names its icons after the symbol names of its design (for example
// "gearshape.fill"); on Linux each is drawn as a glyph of the Material Icons font.
namespace notchora::SymbolIcons {

// Font family of the glyphs ("Material Icons"); loads the font file on first use when the
// system font configuration does not know it.
QString fontFamily();
// Ligature of the Material Icons font that draws `symbolName`; a neutral dot glyph for a
// name not in the table.
QString ligature(const QString& symbolName);
bool isKnown(const QString& symbolName);
QStringList knownSymbols();

} // namespace notchora::SymbolIcons
