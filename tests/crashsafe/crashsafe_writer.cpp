// Saves the chat history or a settings file over and over, for crashsafe.sh to kill at random
// moments; and checks what a killed run left behind.
//   crashsafe_writer churn-history <file>     alternate the two history versions, forever
//   crashsafe_writer churn-settings <file>    alternate the two settings versions, forever
//   crashsafe_writer save-history <file> <a|b>  save once; exit 1 when it was not written
//   crashsafe_writer save-settings <file>     write the first settings version once
//   crashsafe_writer check-history <file>     print "a", "b" or "missing"; exit 1 otherwise
//   crashsafe_writer check-settings <file>    the same for a settings file
#include "answer/ChatHistoryFile.h"
#include "platform/Defaults.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <sys/stat.h>

using namespace notchora;

namespace {

// Two versions of very different sizes, so a kill often lands inside a write.
QList<ChatThread> historyVersion(bool large) {
    const QUuid space = QUuid::fromString(QStringLiteral("{6ba7b811-9dad-11d1-80b4-00c04fd430c8}"));
    const QDateTime start(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::UTC);
    QList<ChatThread> threads;
    const int count = large ? 100 : 3;
    for (int t = 0; t < count; ++t) {
        ChatThread thread;
        thread.id = QUuid::createUuidV5(space, QStringLiteral("thread %1 %2").arg(large).arg(t));
        thread.title = QStringLiteral("Soal %1").arg(t);
        thread.updatedAt = start.addSecs(t);
        for (int m = 0; m < (large ? 12 : 2); ++m) {
            ChatMessage message;
            message.id = QUuid::createUuidV5(thread.id, QString::number(m));
            message.role = m % 2 ? ChatMessage::Role::Assistant : ChatMessage::Role::User;
            message.text = QStringLiteral("Pesan %1 \"dengan\" kutip é 😀 ").arg(m).repeated(20);
            message.date = start.addSecs(t * 60 + m);
            message.confidence = m % 2 ? std::optional(0.5 + m / 100.0) : std::nullopt;
            thread.messages.append(message);
        }
        threads.append(thread);
    }
    return threads;
}

QJsonObject settingsVersion(bool large) {
    return {{QStringLiteral("store.widgetScale"), large ? 1.5 : 1.0},
            {QStringLiteral("payload"), QString(large ? 1 << 20 : 16, large ? 'b' : 'a')}};
}

bool isPrivate(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && (info.st_mode & 0777) == 0600;
}

int check(const QString& path, const std::function<std::optional<bool>(const QByteArray&)>& which) {
    QTextStream out(stdout);
    if (!QFileInfo::exists(path)) {
        out << "missing\n";
        return 0;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out << "unreadable\n";
        return 1;
    }
    const auto version = which(file.readAll());
    if (!version) {
        out << "neither version\n";
        return 1;
    }
    if (!isPrivate(path)) {
        out << "not 0600\n";
        return 1;
    }
    out << (*version ? "b" : "a") << "\n";
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2)
        return 2;
    const QString mode = args[0];
    const QString path = args[1];

    if (mode == QLatin1String("churn-history")) {
        const ChatHistoryFile file(path);
        const QList<ChatThread> versions[] = {historyVersion(false), historyVersion(true)};
        for (int i = 0;; ++i)
            file.save(versions[i % 2]);
    }
    if (mode == QLatin1String("churn-settings")) {
        Defaults defaults(path);
        const QJsonObject versions[] = {settingsVersion(false), settingsVersion(true)};
        for (int i = 0;; ++i) {
            const QJsonObject& version = versions[i % 2];
            // One write with both keys, as the file is replaced whole either way.
            for (auto it = version.begin(); it != version.end(); ++it)
                defaults.setValue(it.key(), it.value());
        }
    }
    if (mode == QLatin1String("save-settings")) {
        Defaults defaults(path);
        const QJsonObject version = settingsVersion(false);
        bool written = true;
        for (auto it = version.begin(); it != version.end(); ++it)
            written = defaults.setValue(it.key(), it.value()) && written;
        return written ? 0 : 1;
    }
    if (mode == QLatin1String("save-history") && args.size() == 3)
        return ChatHistoryFile(path).save(historyVersion(args[2] == QLatin1String("b"))) ? 0 : 1;
    if (mode == QLatin1String("check-history")) {
        return check(path, [](const QByteArray& data) -> std::optional<bool> {
            const auto threads = ChatHistoryFile::decode(data);
            if (threads == historyVersion(false))
                return false;
            if (threads == historyVersion(true))
                return true;
            return std::nullopt;
        });
    }
    if (mode == QLatin1String("check-settings")) {
        return check(path, [](const QByteArray& data) -> std::optional<bool> {
            const auto values = Defaults::decode(data);
            if (!values)
                return std::nullopt;
            // Each write changes one key, so a file between the two versions is a mix of both,
            // each key whole.
            const QJsonObject a = settingsVersion(false);
            const QJsonObject b = settingsVersion(true);
            bool anyB = false;
            for (auto it = a.begin(); it != a.end(); ++it) {
                const QJsonValue value = values->value(it.key());
                if (value != it.value() && value != b.value(it.key()))
                    return std::nullopt;
                anyB = anyB || value == b.value(it.key());
            }
            return values->size() == a.size() ? std::optional(anyB) : std::nullopt;
        });
    }
    return 2;
}
