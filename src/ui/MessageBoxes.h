// Message boxes of the windows: the product's caption, the icon and default
// button the style flags ask for.
#pragma once

#include "lib/Messages.h"

class QWidget;

namespace nrvs {

class QtMessageUi : public MessageUi {
  public:
    void ShowMessage(const std::string& text, int style) override;
    int AskQuestion(const std::string& text, int style) override;
};

// Installs the Qt message boxes for the rest of the program's life.
void InstallQtMessageUi();

} // namespace nrvs
