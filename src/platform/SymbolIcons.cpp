#include "platform/SymbolIcons.h"

#include <QFile>
#include <QFontDatabase>
#include <QHash>

namespace notchora::SymbolIcons {

namespace {

const QHash<QString, QString>& table() {
    static const QHash<QString, QString> symbols{
        {"sparkles", "auto_awesome"},
        {"square.grid.2x2.fill", "apps"},
        {"pawprint.fill", "pets"},
        {"gearshape.fill", "settings"},
        {"power", "power_settings_new"},
        {"camera.viewfinder", "screenshot"},
        {"viewfinder", "crop_free"},
        {"rectangle", "crop_square"},
        {"rectangle.dashed", "highlight_alt"},
        {"photo", "photo"},
        {"trash", "delete"},
        {"doc.on.doc", "content_copy"},
        {"square.and.arrow.down", "save_alt"},
        {"arrow.uturn.backward", "undo"},
        {"checkmark", "check"},
        {"checkmark.circle.fill", "check_circle"},
        {"checkmark.bubble", "mark_chat_read"},
        {"xmark.circle.fill", "cancel"},
        {"exclamationmark.triangle.fill", "warning"},
        {"wifi.slash", "wifi_off"},
        {"arrow.down.circle.fill", "downloading"},
        {"arrow.up.circle.fill", "arrow_circle_up"},
        {"arrow.triangle.2.circlepath", "sync"},
        {"stop.circle.fill", "stop_circle"},
        {"ellipsis.circle", "more_horiz"},
        {"chevron.right", "chevron_right"},
        {"chevron.down", "expand_more"},
        {"eye.fill", "visibility"},
        {"eye.slash", "visibility_off"},
        {"shuffle", "shuffle"},
        {"list.bullet.rectangle", "list_alt"},
        {"text.magnifyingglass", "find_in_page"},
        {"person.crop.circle.badge.questionmark", "account_circle"},
        {"hourglass", "hourglass_empty"},
        {"keyboard", "keyboard"},
        {"paperclip", "attach_file"},
    };
    return symbols;
}

} // namespace

QString fontFamily() {
    static const QString family = [] {
        const QString name = QStringLiteral("Material Icons");
        if (QFontDatabase::families().contains(name))
            return name;
        const QString file = QStringLiteral(
            "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf");
        const int id = QFile::exists(file) ? QFontDatabase::addApplicationFont(file) : -1;
        const QStringList loaded =
            id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
        return loaded.value(0, name);
    }();
    return family;
}

QString ligature(const QString& symbolName) {
    return table().value(symbolName, QStringLiteral("fiber_manual_record"));
}

bool isKnown(const QString& symbolName) {
    return table().contains(symbolName);
}

QStringList knownSymbols() {
    return table().keys();
}

} // namespace notchora::SymbolIcons
