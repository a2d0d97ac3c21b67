#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// One module of the notch tray. Modules are plain values; their views are QML components
// created afresh by whoever hosts them.
class WidgetModule {
    Q_GADGET
    QML_VALUE_TYPE(widgetModule)
    Q_PROPERTY(QString id READ id CONSTANT FINAL)
    Q_PROPERTY(QString name READ name CONSTANT FINAL)
    Q_PROPERTY(QString iconSystemName READ iconSystemName CONSTANT FINAL)
    Q_PROPERTY(bool isEnabledByDefault READ isEnabledByDefault CONSTANT FINAL)
    Q_PROPERTY(bool hasCollapsedView READ hasCollapsedView CONSTANT FINAL)
    Q_PROPERTY(QUrl collapsedView READ collapsedView CONSTANT FINAL)
    Q_PROPERTY(QUrl expandedView READ expandedView CONSTANT FINAL)
public:
    WidgetModule() = default;
    WidgetModule(QString id, QString name, QString iconSystemName, bool isEnabledByDefault,
                 bool hasCollapsedView, QUrl collapsedView, QUrl expandedView);

    QString id() const { return m_id; }
    QString name() const { return m_name; }
    QString iconSystemName() const { return m_iconSystemName; }
    bool isEnabledByDefault() const { return m_isEnabledByDefault; }
    bool hasCollapsedView() const { return m_hasCollapsedView; }
    // The component shown beside the notch while collapsed; an empty component when the
    // module has none.
    QUrl collapsedView() const { return m_collapsedView; }
    // The module's page in the expanded tray.
    QUrl expandedView() const { return m_expandedView; }

    bool operator==(const WidgetModule&) const = default;

private:
    QString m_id;
    QString m_name;
    QString m_iconSystemName;
    bool m_isEnabledByDefault = true;
    bool m_hasCollapsedView = false;
    QUrl m_collapsedView;
    QUrl m_expandedView;
};

} // namespace notchora
