#include "app/AskCommand.h"

#include "answer/KeychainStore.h"
#include "app/SingleInstance.h"
#include "assistant/AIAssistantService.h"
#include "screenshot/ScreenCapture.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLoggingCategory>
#include <QTextStream>

namespace notchora {

namespace {

QString modeList() {
    QStringList names;
    for (AIMode mode : allAIModes())
        names << stringValue(mode);
    return names.join(QStringLiteral(", "));
}

// The request a running program gets: every option spelled out, image paths absolute.
QStringList requestFor(const AskCommand::Options& options) {
    QStringList request{QString::fromLatin1(AskCommand::verb), QStringLiteral("--mode"),
                        stringValue(options.mode)};
    if (options.includeScreen)
        request << QStringLiteral("--screen");
    if (options.continues)
        request << QStringLiteral("--continue");
    for (const QString& file : options.imageFiles)
        request << QStringLiteral("--image") << QFileInfo(file).absoluteFilePath();
    request << QStringLiteral("--") << options.prompt;
    return request;
}

} // namespace

std::optional<AskCommand::Options> AskCommand::parse(const QStringList& arguments, QString& error) {
    Options options;
    QStringList words;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(QLatin1String("--"))) {
            words << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--screen")) {
            options.includeScreen = true;
        } else if (argument == QLatin1String("--continue")) {
            options.continues = true;
        } else if (argument == QLatin1String("--mode")) {
            const QString value = arguments.value(++i);
            const auto mode = aiModeFromString(value);
            if (!mode) {
                error = QStringLiteral("Mode tidak dikenal: \"%1\". Pilihan: %2.")
                            .arg(value, modeList());
                return std::nullopt;
            }
            options.mode = *mode;
        } else if (argument == QLatin1String("--image")) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("--image perlu nama berkas gambar.");
                return std::nullopt;
            }
            options.imageFiles << arguments[++i];
        } else {
            error = QStringLiteral("Pilihan tidak dikenal: %1").arg(argument);
            return std::nullopt;
        }
    }
    options.prompt = words.join(QLatin1Char(' '));
    if (options.imageFiles.size() > AIAssistantService::maxAttachments) {
        error = QStringLiteral("Paling banyak %1 gambar sekaligus.")
                    .arg(AIAssistantService::maxAttachments);
        return std::nullopt;
    }
    if (options.prompt.trimmed().isEmpty() && !options.includeScreen &&
        options.imageFiles.isEmpty()) {
        error = QStringLiteral("Tidak ada yang ditanyakan.");
        return std::nullopt;
    }
    return options;
}

QString AskCommand::usage() {
    return QStringLiteral("Pemakaian: notchora ask [--screen] [--mode MODE] [--continue] "
                          "[--image BERKAS]... PERTANYAAN\nMODE: %1")
        .arg(modeList());
}

AskCommand::AskCommand(AIAssistantService& service, Options options, QObject* parent)
    : QObject(parent), m_service(service), m_options(std::move(options)) {}

void AskCommand::start() {
    if (AIAssistantService::isSlashCommand(m_options.prompt)) {
        // A command answers with its notice, at once or when its work is done.
        connect(&m_service, &AIAssistantService::noticePosted, this,
                [this](const QString& text, bool isError) { finish(isError ? 1 : 0, text); });
        m_service.ask(m_options.prompt, m_options.mode, false, m_options.continues, false);
        return;
    }
    loadImages();
}

void AskCommand::loadImages() {
    if (m_options.imageFiles.isEmpty()) {
        ask({});
        return;
    }
    m_images.resize(m_options.imageFiles.size());
    m_pendingImages = m_images.size();
    for (qsizetype i = 0; i < m_options.imageFiles.size(); ++i) {
        QFile file(m_options.imageFiles[i]);
        if (!file.open(QIODevice::ReadOnly)) {
            finish(1, QStringLiteral("Gambar tidak bisa dibaca: %1").arg(file.fileName()));
            return;
        }
        ScreenCapture::encode(file.readAll(), AIAssistantService::imageByteLimit, this,
                              [this, i](const ScreenCapture::Result& result) {
                                  m_images[i] = result.image;
                                  if (--m_pendingImages > 0 || m_finished)
                                      return;
                                  QList<ChatAttachment> attachments;
                                  for (qsizetype k = 0; k < m_images.size(); ++k) {
                                      if (!m_images[k]) {
                                          finish(1, QStringLiteral("Gambar tidak bisa dikirim: %1")
                                                        .arg(m_options.imageFiles[k]));
                                          return;
                                      }
                                      attachments << ChatAttachment::make(
                                          *m_images[k], QImage::fromData(m_images[k]->data));
                                  }
                                  ask(attachments);
                              });
    }
}

void AskCommand::ask(const QList<ChatAttachment>& images) {
    connect(&m_service, &AIAssistantService::streamingTextChanged, this, &AskCommand::showStreamed);
    connect(&m_service, &AIAssistantService::questionEnded, this,
            [this](quint64 serial, AIAssistantService::Outcome outcome) {
                questionEnded(serial, int(outcome));
            });
    // Images pasted in the notch stay pending there; only ours go with this question.
    const QList<ChatAttachment> pending = m_service.attachments();
    if (!images.isEmpty())
        m_service.setAttachments(images);
    const quint64 before = m_service.questionSerial();
    m_service.ask(m_options.prompt, m_options.mode, m_options.includeScreen, m_options.continues,
                  !images.isEmpty());
    if (!images.isEmpty() && m_service.attachments().isEmpty())
        m_service.setAttachments(pending);
    if (m_service.questionSerial() == before) {
        finish(1, QStringLiteral("Tidak ada yang ditanyakan."));
        return;
    }
    m_serial = m_service.questionSerial();
}

void AskCommand::showStreamed() {
    if (m_serial == 0 || m_service.questionSerial() != m_serial)
        return;
    const QString text = m_service.streamingText();
    if (text.isEmpty())
        return;
    if (text.startsWith(m_printed)) {
        const QString added = text.mid(m_printed.size());
        m_printed += added;
        emit output(added);
    } else {
        // The text shown was replaced rather than extended: start it on a new line.
        m_printed = text;
        emit output(QLatin1Char('\n') + text);
    }
}

void AskCommand::questionEnded(quint64 serial, int outcome) {
    if (serial != m_serial)
        return;
    switch (AIAssistantService::Outcome(outcome)) {
    case AIAssistantService::Outcome::Answered: {
        // End with the stored answer: what streamed is kept when the answer continues it.
        const QString stored = m_service.answer();
        if (stored.startsWith(m_printed))
            emit output(stored.mid(m_printed.size()) + QLatin1Char('\n'));
        else
            emit output((m_printed.isEmpty() ? QString() : QStringLiteral("\n\n")) + stored +
                        QLatin1Char('\n'));
        finish(0, QString());
        break;
    }
    case AIAssistantService::Outcome::Failed:
        finish(1, m_service.failureMessage());
        break;
    case AIAssistantService::Outcome::Cancelled:
        finish(1, QStringLiteral("Pertanyaan dibatalkan."));
        break;
    }
}

void AskCommand::finish(int exitCode, const QString& message) {
    if (m_finished)
        return;
    m_finished = true;
    disconnect(&m_service, nullptr, this, nullptr);
    emit finished(exitCode, message);
}

int runAskCommandLine(const QStringList& arguments) {
    // The failure is printed as the user's message; the log's copy of it would only repeat
    // it in another form. QT_LOGGING_RULES still brings the log back.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("notchora.*.warning=false"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString error;
    const auto options = AskCommand::parse(arguments, error);
    if (!options) {
        err << error << "\n" << AskCommand::usage() << "\n";
        return 2;
    }

    // A running program asks, so that the notch and the popup show the question too.
    SingleInstance instance;
    const auto response = instance.ask(requestFor(*options), 3000, -1, [&out](const QString& text) {
        out << text;
        out.flush();
    });
    if (response) {
        if (!response->output.isEmpty())
            (response->exitCode == 0 ? out : err) << response->output << "\n";
        return response->exitCode;
    }

    AIAssistantService& service = AIAssistantService::shared();
    AskCommand command(service, *options);
    int exitCode = 1;
    QObject::connect(&command, &AskCommand::output, [&out](const QString& text) {
        out << text;
        out.flush();
    });
    QObject::connect(&command, &AskCommand::finished, [&](int code, const QString& message) {
        if (!message.isEmpty())
            (code == 0 ? out : err) << message << "\n";
        exitCode = code;
        // A refresh token rotated by this question must be stored before the process ends.
        KeychainStore& keychain = KeychainStore::shared();
        if (!keychain.isBusy())
            QCoreApplication::exit(code);
        else
            QObject::connect(&keychain, &KeychainStore::idle,
                             [code] { QCoreApplication::exit(code); });
    });
    QMetaObject::invokeMethod(&command, &AskCommand::start, Qt::QueuedConnection);
    QCoreApplication::exec();
    return exitCode;
}

} // namespace notchora
