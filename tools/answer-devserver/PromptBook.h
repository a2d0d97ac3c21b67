#pragma once

#include <QString>
#include <map>

namespace notchora::answerd {

// The texts the service sends to the model, read from its prompts file.
class PromptBook {
public:
    // The prompts built into the service.
    static const PromptBook& builtIn();
    // Reads the "[name]" sections of a prompts file's text.
    static PromptBook parse(const QString& text);

    // The section's text, trimmed; empty when there is none.
    QString text(const QString& name) const;
    // The section with each "{key}" replaced by its value in one pass, so a value that
    // itself holds braces stays as given.
    QString fill(const QString& name, const std::map<QString, QString>& values) const;

private:
    std::map<QString, QString> m_sections;
};

} // namespace notchora::answerd
