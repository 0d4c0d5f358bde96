#include "platform/prompt.h"

namespace ks {

PromptAnswer AcceptingPrompt::ask(const PromptMessage& message) {
    switch (message.buttons) {
        case PromptButtons::YesNo:
        case PromptButtons::YesNoCancel:
            return PromptAnswer::Yes;
        case PromptButtons::RetryCancel:
            return PromptAnswer::Retry;
        default:
            return PromptAnswer::Ok;
    }
}

}  // namespace ks
