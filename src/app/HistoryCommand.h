#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace notchora {

class ChatHistoryStore;

// `notchora history` (the threads, newest first, with their message counts and a mark on
// the current one) and `notchora history show` (the current conversation).
class HistoryCommand {
public:
    static constexpr auto verb = "history";

    // The text for the arguments after "history"; none when they are not understood.
    static std::optional<QString> run(const ChatHistoryStore& history,
                                      const QStringList& arguments);
    static QString listing(const ChatHistoryStore& history);
    static QString currentThread(const ChatHistoryStore& history);
    static QString usage();
};

// From the command line: the running program's history when it runs, else the file's.
int runHistoryCommandLine(const QStringList& arguments);

} // namespace notchora
