#include "toolkit/test_hook.h"

namespace torvana::toolkit {

namespace {
TestHook* g_hook = nullptr;

std::string describe(const BoxRecord& box) {
    return box.kind + " box \"" + box.text + "\"";
}
}  // namespace

TestHook* testHook() { return g_hook; }
void installTestHook(TestHook* hook) { g_hook = hook; }

Answer TestHook::takeAnswer(const BoxRecord& box, Buttons buttons) {
    boxes.push_back(box);
    const Answer safe = buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    if (answers_.empty()) {
        unexpected.push_back("unexpected " + describe(box));
        return safe;
    }
    const Answer a = answers_.front();
    answers_.pop_front();
    const bool fits = buttons == Buttons::YesNo ? a != Answer::Ok : a == Answer::Ok;
    if (!fits) {
        unexpected.push_back("queued answer does not fit the buttons of " + describe(box));
        return safe;
    }
    return a;
}

std::optional<std::string> TestHook::takeFile(const FileDialogRecord& dialog) {
    fileDialogs.push_back(dialog);
    if (files_.empty()) {
        unexpected.push_back("unexpected file dialog \"" + dialog.title + "\"");
        return std::nullopt;
    }
    auto f = files_.front();
    files_.pop_front();
    return f;
}

std::optional<std::string> TestHook::takePassword(const std::string& prompt) {
    passwordPrompts.push_back(prompt);
    if (passwords_.empty()) {
        unexpected.push_back("unexpected password prompt \"" + prompt + "\"");
        return std::nullopt;
    }
    auto p = passwords_.front();
    passwords_.pop_front();
    return p;
}

std::string TestHook::problems() const {
    std::string out;
    for (const auto& u : unexpected) out += u + "\n";
    if (!answers_.empty()) out += std::to_string(answers_.size()) + " box answer(s) never used\n";
    if (!files_.empty()) out += std::to_string(files_.size()) + " file answer(s) never used\n";
    if (!passwords_.empty()) out += std::to_string(passwords_.size()) + " password(s) never used\n";
    return out;
}

}  // namespace torvana::toolkit
