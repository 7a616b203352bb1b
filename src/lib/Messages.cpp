#include "lib/Messages.h"

#include "platform/FileAccess.h"

#include <cstdio>

namespace nrvs {

namespace {
MessageUi* g_messageUi = nullptr;
int g_fallbackAnswer = ID_NO;
} // namespace

void SetMessageUi(MessageUi* ui) {
    g_messageUi = ui;
}
MessageUi* CurrentMessageUi() {
    return g_messageUi;
}
void SetFallbackAnswer(int answer) {
    g_fallbackAnswer = answer;
}

void ShowMessageBox(const std::string& text, int style) {
    if (g_messageUi) {
        g_messageUi->ShowMessage(text, style);
        return;
    }
    // Plain stdio: the streams library would be set up in every program,
    // the command-line tool included, for this one line.
    std::fprintf(stderr, "Norvessa: %s\n", text.c_str());
}

int AskYesNo(const std::string& text, int style) {
    if (g_messageUi) return g_messageUi->AskQuestion(text, style);
    return g_fallbackAnswer;
}

void TellSaveFailed(const std::string& fileName) {
    ShowMessageBox("ファイルを保存できませんでした。\n" + fileName + "\n" +
                       platform::LastWriteError(),
                   MB_ICONSTOP);
}

} // namespace nrvs
