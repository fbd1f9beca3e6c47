#include "platform/ui/Prompter.h"

#include "platform/ui/ProgressTarget.h"

#include <iostream>
#include <mutex>

namespace ui {
namespace {
std::mutex promptMutex;
std::unique_ptr<Prompter>& current() {
    static std::unique_ptr<Prompter> p = std::make_unique<HeadlessPrompter>();
    return p;
}
const char* iconWord(MsgIcon i) {
    switch (i) {
        case MsgIcon::Critical: return "error";
        case MsgIcon::Exclamation: return "warning";
        case MsgIcon::Question: return "question";
        case MsgIcon::Information: return "info";
        default: return "message";
    }
}
MsgResult headlessAnswer(MsgButtons b) {
    switch (b) {
        case MsgButtons::OK: return MsgResult::OK;
        case MsgButtons::OKCancel: return MsgResult::Cancel;
        case MsgButtons::AbortRetryIgnore: return MsgResult::Abort;
        case MsgButtons::YesNoCancel: return MsgResult::Cancel;
        case MsgButtons::YesNo: return MsgResult::No;
        case MsgButtons::RetryCancel: return MsgResult::Cancel;
    }
    return MsgResult::Cancel;
}
}  // namespace

Prompter& prompter() { return *current(); }

std::unique_ptr<Prompter> setPrompter(std::unique_ptr<Prompter> p) {
    std::lock_guard<std::mutex> lock(promptMutex);
    std::unique_ptr<Prompter> old = std::move(current());
    current() = p ? std::move(p) : std::make_unique<HeadlessPrompter>();
    return old;
}

MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title) {
    // From work running beside the window, the box is shown by the window's thread.
    MsgResult result = MsgResult::OK;
    const MessageRequest req{text, buttons, icon, title};
    if (runOnEventsThread([&] { result = prompter().message(req); })) return result;
    return prompter().message(req);
}

MsgResult HeadlessPrompter::message(const MessageRequest& req) {
    std::cerr << req.title << " [" << iconWord(req.icon) << "]: " << req.text << std::endl;
    return headlessAnswer(req.buttons);
}

std::optional<std::string> HeadlessPrompter::input(const std::string& prompt, const std::string& title,
                                                   const std::string&) {
    std::cerr << title << " [input]: " << prompt << " (no answer in a headless run)" << std::endl;
    return std::nullopt;
}

std::string HeadlessPrompter::chooseFile(const FileRequest& req) {
    std::cerr << req.title << " [file]: no file chosen in a headless run" << std::endl;
    return "";
}

std::string HeadlessPrompter::chooseFolder(const std::string& title, const std::string&) {
    std::cerr << title << " [folder]: no folder chosen in a headless run" << std::endl;
    return "";
}

MsgResult ScriptedPrompter::message(const MessageRequest& req) {
    messages.push_back(req);
    if (messageAnswers.empty()) return headlessAnswer(req.buttons);
    MsgResult r = messageAnswers.front();
    messageAnswers.pop_front();
    return r;
}

std::optional<std::string> ScriptedPrompter::input(const std::string& prompt, const std::string&,
                                                   const std::string&) {
    inputs.push_back(prompt);
    if (inputAnswers.empty()) return std::nullopt;
    auto r = inputAnswers.front();
    inputAnswers.pop_front();
    return r;
}

std::string ScriptedPrompter::chooseFile(const FileRequest& req) {
    files.push_back(req);
    if (fileAnswers.empty()) return "";
    std::string r = fileAnswers.front();
    fileAnswers.pop_front();
    return r;
}

std::string ScriptedPrompter::chooseFolder(const std::string& title, const std::string&) {
    folders.push_back(title);
    if (folderAnswers.empty()) return "";
    std::string r = folderAnswers.front();
    folderAnswers.pop_front();
    return r;
}

std::optional<long> ScriptedPrompter::chooseColor(long initial) {
    colorRequests.push_back(initial);
    if (colorAnswers.empty()) return std::nullopt;
    std::optional<long> r = colorAnswers.front();
    colorAnswers.pop_front();
    return r;
}

std::optional<FontChoice> ScriptedPrompter::chooseFont(const FontChoice& initial) {
    fontRequests.push_back(initial);
    if (fontAnswers.empty()) return std::nullopt;
    std::optional<FontChoice> r = fontAnswers.front();
    fontAnswers.pop_front();
    return r;
}

}  // namespace ui
