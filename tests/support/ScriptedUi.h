// Stands in for the message boxes of a window test: keeps what the program
// said and asked, and answers every question with `answer`.
#pragma once

#include "lib/Messages.h"

#include <QList>
#include <QStringList>

namespace nrvs::test {

struct ScriptedUi : MessageUi {
    QStringList messages;
    QList<int> styles; // of the messages, MB_ICON...
    QStringList questions;
    int answer = ID_YES;
    void ShowMessage(const std::string& text, int style) override {
        messages << QString::fromStdString(text);
        styles << style;
    }
    int AskQuestion(const std::string& text, int) override {
        questions << QString::fromStdString(text);
        return answer;
    }
};

} // namespace nrvs::test
