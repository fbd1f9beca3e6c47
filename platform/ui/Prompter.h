// Every message box, input box and file dialog goes through the current Prompter.
// The GUI installs a Qt implementation; headless runs use HeadlessPrompter (stderr, never
// blocks); tests install a ScriptedPrompter with queued answers.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

enum class MsgButtons { OK, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
// Values as the classic message-box results.
enum class MsgResult { OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

inline constexpr const char* kDefaultTitle = "Dalvane 4.5";

struct MessageRequest {
    std::string text;
    MsgButtons buttons = MsgButtons::OK;
    MsgIcon icon = MsgIcon::None;
    std::string title = kDefaultTitle;
};

// A font as the font dialog returns it; the size may have a fraction.
struct FontChoice {
    std::string name;
    double size = 10;
    bool bold = false;
    bool underline = false;
};

struct FileRequest {
    std::string title;
    std::string filter;      // "XML File | *.xml" style
    std::string initialPath;
    bool save = false;
};

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual MsgResult message(const MessageRequest& req) = 0;
    // Input box: nullopt when cancelled.
    virtual std::optional<std::string> input(const std::string& prompt, const std::string& title,
                                             const std::string& defaultValue) = 0;
    // File dialogs: "" when cancelled.
    virtual std::string chooseFile(const FileRequest& req) = 0;
    virtual std::string chooseFolder(const std::string& title, const std::string& initialPath) = 0;
    // Colour dialog opened on the given colour: an RGB value (red in the low byte), nullopt
    // when cancelled.
    virtual std::optional<long> chooseColor(long initial) {
        (void)initial;
        return std::nullopt;
    }
    // Font dialog opened on the given font: nullopt when cancelled.
    virtual std::optional<FontChoice> chooseFont(const FontChoice& initial) {
        (void)initial;
        return std::nullopt;
    }
    // Opens a document or link with the desktop (no-op headless).
    virtual void openExternally(const std::string& target) { (void)target; }
    virtual bool isInteractive() const = 0;
};

Prompter& prompter();
// Installs p as the current prompter; returns the previous one.
std::unique_ptr<Prompter> setPrompter(std::unique_ptr<Prompter> p);

// Shorthand: MsgBox(text, buttons, icon, title).
MsgResult MsgBox(const std::string& text, MsgButtons buttons = MsgButtons::OK,
                 MsgIcon icon = MsgIcon::None, const std::string& title = kDefaultTitle);

// Prints every prompt to stderr and answers without waiting: OK, No for Yes/No questions,
// Cancel where offered, nothing for input and file dialogs.
class HeadlessPrompter : public Prompter {
public:
    MsgResult message(const MessageRequest& req) override;
    std::optional<std::string> input(const std::string& prompt, const std::string& title,
                                     const std::string& defaultValue) override;
    std::string chooseFile(const FileRequest& req) override;
    std::string chooseFolder(const std::string& title, const std::string& initialPath) override;
    bool isInteractive() const override { return false; }
};

// For tests: records every request and answers from queues (falling back to the headless
// answers when a queue is empty).
class ScriptedPrompter : public Prompter {
public:
    std::deque<MsgResult> messageAnswers;
    std::deque<std::optional<std::string>> inputAnswers;
    std::deque<std::string> fileAnswers;
    std::deque<std::string> folderAnswers;
    std::deque<std::optional<long>> colorAnswers;
    std::deque<std::optional<FontChoice>> fontAnswers;

    std::vector<MessageRequest> messages;
    std::vector<std::string> inputs;
    std::vector<FileRequest> files;
    std::vector<std::string> folders;
    std::vector<std::string> opened;
    std::vector<long> colorRequests;  // the colour each colour dialog was opened on
    std::vector<FontChoice> fontRequests;

    MsgResult message(const MessageRequest& req) override;
    std::optional<std::string> input(const std::string& prompt, const std::string& title,
                                     const std::string& defaultValue) override;
    std::string chooseFile(const FileRequest& req) override;
    std::string chooseFolder(const std::string& title, const std::string& initialPath) override;
    std::optional<long> chooseColor(long initial) override;
    std::optional<FontChoice> chooseFont(const FontChoice& initial) override;
    void openExternally(const std::string& target) override { opened.push_back(target); }
    bool isInteractive() const override { return false; }

    // The text of the last message, "" when none.
    std::string lastMessage() const { return messages.empty() ? "" : messages.back().text; }
};

}  // namespace ui
