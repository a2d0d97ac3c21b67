#pragma once

#include "answer/AIModels.h"

#include <QObject>
#include <QStringList>
#include <optional>

namespace notchora {

class AIAssistantService;

// `notchora ask [--screen] [--mode MODE] [--continue] [--image FILE]... PROMPT`: one question
// through the assistant service, its answer printed as it streams and ending with the
// stored answer. A prompt that is a slash command runs it and reports its notice. The same
// object serves the command line and a running program asked by a second start.
class AskCommand : public QObject {
    Q_OBJECT
public:
    static constexpr auto verb = "ask";

    struct Options {
        bool includeScreen = false;
        AIMode mode = AIMode::Ask;
        bool continues = false;
        QStringList imageFiles;
        QString prompt;
    };
    // The arguments after "ask"; none and `error` set when they make no question.
    static std::optional<Options> parse(const QStringList& arguments, QString& error);
    static QString usage();

    AskCommand(AIAssistantService& service, Options options, QObject* parent = nullptr);
    void start();

signals:
    // Text to append to what is printed so far.
    void output(const QString& text);
    // 0 with an optional last line for standard output, or 1 with the message for the
    // error output.
    void finished(int exitCode, const QString& message);

private:
    void loadImages();
    void ask(const QList<ChatAttachment>& images);
    void showStreamed();
    void questionEnded(quint64 serial, int outcome);
    void finish(int exitCode, const QString& message);

    AIAssistantService& m_service;
    Options m_options;
    QList<std::optional<EncodedImage>> m_images;
    qsizetype m_pendingImages = 0;
    quint64 m_serial = 0;
    QString m_printed;
    bool m_finished = false;
};

// Runs `notchora ask …` from the command line: in the running program when there is one,
// else in this process. Returns the exit code.
int runAskCommandLine(const QStringList& arguments);

} // namespace notchora
