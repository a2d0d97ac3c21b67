#include "app/AccountCommand.h"

#include "answer/AnswerAuth.h"
#include "answer/KeychainStore.h"
#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QUrl>

namespace notchora {

bool AccountCommand::isAccountVerb(const QString& word) {
    return word == QLatin1String("signin") || word == QLatin1String("signout") ||
           word == QLatin1String("status");
}

bool AccountCommand::isCallbackURL(const QString& argument) {
    return argument.startsWith(QLatin1String(SignInRequest::callbackScheme) + QLatin1Char(':'),
                               Qt::CaseInsensitive);
}

AccountCommand::AccountCommand(AnswerAuth& auth, KeychainStore& keychain, QString verb,
                               QObject* parent)
    : QObject(parent), m_auth(auth), m_keychain(keychain), m_verb(std::move(verb)) {}

void AccountCommand::start() {
    whenChecked([this] {
        if (m_verb == QLatin1String("signout")) {
            m_auth.signOut();
            finishWhenStored();
        } else if (m_verb == QLatin1String("signin")) {
            connect(&m_auth, &AnswerAuth::signInFinished, this, &AccountCommand::finishWhenStored,
                    Qt::SingleShotConnection);
            // A sign-in already waiting in the browser is joined, not given up.
            if (m_auth.state() != AnswerAuth::State::SigningIn)
                m_auth.signIn();
        } else {
            finishWhenStored();
        }
    });
}

// The stored session is known only once the start-up look into the secret store is done.
void AccountCommand::whenChecked(std::function<void()> next) {
    if (m_auth.state() != AnswerAuth::State::Checking) {
        next();
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(&m_auth, &AnswerAuth::stateChanged, this, [this, connection, next] {
        if (m_auth.state() == AnswerAuth::State::Checking)
            return;
        disconnect(*connection);
        next();
    });
}

// A process about to exit must not leave the refresh token half saved or deleted.
void AccountCommand::finishWhenStored() {
    auto report = [this] {
        const bool ok =
            m_verb != QLatin1String("signin") || m_auth.state() == AnswerAuth::State::SignedIn;
        emit finished(ok ? 0 : 1, m_auth.accountText());
    };
    if (!m_keychain.isBusy()) {
        report();
        return;
    }
    connect(&m_keychain, &KeychainStore::idle, this, report, Qt::SingleShotConnection);
}

int runAccountCommandLine(const QStringList& arguments) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString word = arguments.value(0);
    SingleInstance instance;

    if (AccountCommand::isCallbackURL(word)) {
        const auto response = instance.ask({QStringLiteral("open-url"), word});
        if (!response) {
            err << "Tidak ada Notchora yang sedang menunggu login.\n";
            return 1;
        }
        if (!response->output.isEmpty())
            (response->exitCode == 0 ? out : err) << response->output << "\n";
        return response->exitCode;
    }

    // A running program owns the tokens: let it do the work and report.
    if (const auto response = instance.ask({word}, 3000, -1)) {
        out << response->output << "\n";
        return response->exitCode;
    }

    // Nobody runs: this process does it, and listens for the browser's redirect meanwhile.
    instance.listen();
    AnswerAuth& auth = AnswerAuth::shared();
    QObject::connect(&instance, &SingleInstance::requestReceived, &auth,
                     [&auth](const QStringList& request, SingleInstanceReply* reply) {
                         if (request.value(0) == QLatin1String("open-url") &&
                             auth.handleCallback(QUrl(request.value(1))))
                             reply->finish(0);
                         else
                             reply->finish(1, QStringLiteral("Notchora sedang menunggu login; "
                                                             "coba lagi sesudahnya."));
                     });
    AccountCommand command(auth, KeychainStore::shared(), word);
    int exitCode = 1;
    QObject::connect(&command, &AccountCommand::finished, [&](int code, const QString& output) {
        out << output << "\n";
        out.flush();
        exitCode = code;
        QCoreApplication::exit(code);
    });
    QMetaObject::invokeMethod(&command, &AccountCommand::start, Qt::QueuedConnection);
    QCoreApplication::exec();
    return exitCode;
}

} // namespace notchora
