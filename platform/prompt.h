#pragma once
// The questions and reports that non-window code puts to the user. The desktop program answers
// with message boxes, the command-line tool on the terminal or from flags, tests from a script.
#include <string>

namespace ks {

enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class PromptIcon { None, Error, Information, Exclamation, Question, Stop };
enum class PromptAnswer { Ok, Cancel, Yes, No, Retry };

struct PromptMessage {
    std::u16string text;
    std::u16string caption;
    PromptButtons buttons = PromptButtons::Ok;
    PromptIcon icon = PromptIcon::None;
};

class Prompt {
  public:
    virtual ~Prompt() = default;
    virtual PromptAnswer ask(const PromptMessage& message) = 0;
};

// Answers every question positively (Yes / OK) and records nothing; for unattended runs.
class AcceptingPrompt final : public Prompt {
  public:
    PromptAnswer ask(const PromptMessage& message) override;
};

}  // namespace ks
