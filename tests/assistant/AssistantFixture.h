#pragma once

#include "AnswerStack.h"
#include "AnswerdProcess.h"
#include "ManualClock.h"
#include "answer/AnswerAPIClient.h"
#include "answer/ChatHistoryStore.h"
#include "assistant/AIAssistantService.h"
#include "characters/CharacterMoodCenter.h"

#include <QSignalSpy>
#include <memory>

namespace notchora::test {

QByteArray jpeg(int width, int height);

// The assistant over a temporary profile, asking a service at `base`: a screen capture that
// hands over `screen` (or fails) and a browser that approves every sign-in at once.
struct AssistantFixture : AnswerStack {
    AssistantFixture(const QString& base, const QString& refreshToken);

    AIAssistantService::Outcome waitForEnd();
    // A current thread of `count` messages, user and assistant in turn, the texts cycled.
    void makeThread(int count, const QStringList& texts = {QStringLiteral("pesan")});
    std::optional<ChatThread> thread() const { return history->currentThread(); }
    void attach(int count);

    ManualClock clock;
    QByteArray screen = jpeg(30, 30);
    bool captureFails = false;
    int beeps = 0;
    std::unique_ptr<AnswerAPIClient> api;
    std::unique_ptr<ChatHistoryStore> history;
    std::unique_ptr<CharacterMoodCenter> mood;
    std::unique_ptr<AIAssistantService> service;
    std::unique_ptr<QSignalSpy> ended;
};

} // namespace notchora::test
