// Message boxes and yes/no questions, shown by whatever the windows
// install, and the message that a file of the program's own could not be
// saved.
#pragma once

#include <string>

namespace nrvs {

enum : int {
    MB_ICONSTOP = 16,
    MB_ICONQUESTION = 32,
    MB_ICONWARNING = 48,
    MB_ICONINFORMATION = 64,
    MB_DEFBUTTON2 = 256,
    ID_YES = 6,
    ID_NO = 7,
};

// The windows install an implementation; without one (tests, the command-line
// tool) messages go to standard error and questions are answered by the
// installed fallback answer (No unless changed).
class MessageUi {
  public:
    virtual ~MessageUi() = default;
    virtual void ShowMessage(const std::string& text, int style) = 0;
    virtual int AskQuestion(const std::string& text, int style) = 0;
};

void SetMessageUi(MessageUi* ui);
MessageUi* CurrentMessageUi();
void SetFallbackAnswer(int answer);

void ShowMessageBox(const std::string& text, int style);
int AskYesNo(const std::string& text, int style);

// Tells the user (a message box) that a file of the program's own could not
// be saved, naming it and the reason of the failed SaveLines just before.
void TellSaveFailed(const std::string& fileName);

} // namespace nrvs
