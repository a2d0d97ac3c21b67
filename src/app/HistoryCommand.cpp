#include "app/HistoryCommand.h"

#include "answer/ChatHistoryStore.h"
#include "app/SingleInstance.h"

#include <QTextStream>

namespace notchora {

std::optional<QString> HistoryCommand::run(const ChatHistoryStore& history,
                                           const QStringList& arguments) {
    if (arguments.isEmpty())
        return listing(history);
    if (arguments == QStringList{QStringLiteral("show")})
        return currentThread(history);
    return std::nullopt;
}

QString HistoryCommand::listing(const ChatHistoryStore& history) {
    if (history.threads().isEmpty())
        return QStringLiteral("Belum ada percakapan.");
    QStringList lines;
    for (const ChatThread& thread : history.threads()) {
        const bool current = history.currentID() == thread.id;
        lines << QStringLiteral("%1 %2 (%3 pesan)")
                     .arg(current ? QStringLiteral("*") : QStringLiteral(" "), thread.title)
                     .arg(thread.messages.size());
    }
    return lines.join(QLatin1Char('\n'));
}

QString HistoryCommand::currentThread(const ChatHistoryStore& history) {
    const auto thread = history.currentThread();
    if (!thread)
        return QStringLiteral("Belum ada percakapan yang sedang berjalan.");
    QStringList parts{thread->title};
    if (thread->summary)
        parts << QStringLiteral("Ringkasan: ") + *thread->summary;
    for (const ChatMessage& message : thread->messages)
        parts << (message.role == ChatMessage::Role::User ? QStringLiteral("Kamu: ")
                                                          : QStringLiteral("Asisten: ")) +
                     message.text;
    return parts.join(QStringLiteral("\n\n"));
}

QString HistoryCommand::usage() {
    return QStringLiteral("Pemakaian: notchora history [show]");
}

int runHistoryCommandLine(const QStringList& arguments) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    // The running program knows which conversation is current.
    SingleInstance instance;
    if (const auto response =
            instance.ask(QStringList{QString::fromLatin1(HistoryCommand::verb)} + arguments)) {
        (response->exitCode == 0 ? out : err) << response->output << "\n";
        return response->exitCode;
    }
    const auto text = HistoryCommand::run(ChatHistoryStore::shared(), arguments);
    if (!text) {
        err << HistoryCommand::usage() << "\n";
        return 2;
    }
    out << *text << "\n";
    return 0;
}

} // namespace notchora
