#include "app/DefaultsCommand.h"

#include "app/MessageText.h"
#include "platform/Defaults.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace notchora {

namespace {

const char* const usage = "Pemakaian:\n"
                          "  notchora defaults [--domain NAMA] read [KUNCI]\n"
                          "  notchora defaults [--domain NAMA] write KUNCI NILAI_JSON\n"
                          "  notchora defaults [--domain NAMA] delete KUNCI\n";

QString toJson(const QJsonValue& value) {
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented))
            .trimmed();
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented))
            .trimmed();
    // QJsonDocument only holds objects and arrays: wrap a scalar and unwrap the text.
    const QString wrapped =
        QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
    return wrapped.mid(1, wrapped.size() - 2);
}

std::optional<QJsonValue> parseValue(const QString& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(("[" + text + "]").toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || doc.array().size() != 1)
        return std::nullopt;
    return doc.array().first();
}

// The old file stays as it was whenever a write fails, so say so with the reason.
void reportWriteFailure(const Defaults& store, QTextStream& err) {
    const QString problem = store.lastWriteProblem();
    err << "Tidak bisa menulis " << store.filePath()
        << (problem.isEmpty() ? QString() : QStringLiteral(": ") + problem)
        << ". Isi lama tidak berubah.\n";
}

} // namespace

int runDefaultsCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QStringList args = arguments;
    QString domain = QString::fromLatin1(Defaults::standardDomain);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--domain") ||
            args[i].startsWith(QLatin1String("--domain="))) {
            const bool joined = args[i].contains(QLatin1Char('='));
            if (!joined && i + 1 >= args.size()) {
                err << "--domain membutuhkan nama domain.\n" << usage;
                return 2;
            }
            domain = joined ? args[i].section(QLatin1Char('='), 1) : args[i + 1];
            args.remove(i, joined ? 1 : 2);
            --i;
        }
    }
    if (!Defaults::isValidDomain(domain)) {
        err << "Nama domain tidak valid: " << MessageText::echo(domain) << "\n";
        return 2;
    }
    const QString verb = args.value(0);
    const QString path = Defaults::pathForDomain(domain);

    // A read changes nothing on disk: a file it cannot read is reported, never set aside.
    if (verb == QLatin1String("read") && args.size() <= 2) {
        QString problem;
        const auto values = Defaults::readWithoutChanges(path, &problem);
        if (!values) {
            err << "Tidak bisa membaca " << path << ": " << problem << ".\n";
            return 1;
        }
        if (args.size() == 1) {
            out << toJson(*values) << "\n";
            return 0;
        }
        if (!values->contains(args[1])) {
            err << "Kunci \"" << MessageText::echo(args[1]) << "\" tidak ada di domain "
                << MessageText::echo(domain) << ".\n";
            return 1;
        }
        out << toJson(values->value(args[1])) << "\n";
        return 0;
    }
    Defaults store(path);
    if (verb == QLatin1String("write") && args.size() == 3) {
        const auto value = parseValue(args[2]);
        if (!value) {
            err << "Nilai bukan JSON yang valid: " << MessageText::echo(args[2])
                << "\nContoh: true, 1.2, \"teks\", [\"a\",\"b\"] (teks perlu tanda kutip JSON).\n";
            return 1;
        }
        if (!store.setValue(args[1], *value)) {
            reportWriteFailure(store, err);
            return 1;
        }
        return 0;
    }
    if (verb == QLatin1String("delete") && args.size() == 2) {
        if (!store.contains(args[1])) {
            err << "Kunci \"" << MessageText::echo(args[1]) << "\" tidak ada di domain "
                << MessageText::echo(domain) << ".\n";
            return 1;
        }
        if (!store.remove(args[1])) {
            reportWriteFailure(store, err);
            return 1;
        }
        return 0;
    }
    err << usage;
    return 2;
}

} // namespace notchora
