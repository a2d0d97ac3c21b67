#pragma once

#include <QObject>
#include <QStringList>

namespace notchora {

class AnswerAuth;
class KeychainStore;

// `notchora signin`, `signout` and `status`: one account operation that ends with the
// account line of the settings window ("Sudah masuk", "Gagal masuk: …") and an exit code.
// The same object serves the command line and a running program asked by a second start.
class AccountCommand : public QObject {
    Q_OBJECT
public:
    static bool isAccountVerb(const QString& word);
    // A redirect of the browser sign-in ("soalika-answer://callback?…").
    static bool isCallbackURL(const QString& argument);

    AccountCommand(AnswerAuth& auth, KeychainStore& keychain, QString verb,
                   QObject* parent = nullptr);
    void start();

signals:
    // `exitCode` is 0 for status and signout; for signin only when signed in.
    void finished(int exitCode, const QString& output);

private:
    void whenChecked(std::function<void()> next);
    void finishWhenStored();

    AnswerAuth& m_auth;
    KeychainStore& m_keychain;
    QString m_verb;
};

// Runs an account verb or hands a sign-in redirect over, from the command line: to the
// running program when there is one, else in this process. Returns the exit code.
int runAccountCommandLine(const QStringList& arguments);

} // namespace notchora
