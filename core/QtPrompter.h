// The prompter of interactive runs: Qt message boxes, input boxes and file dialogs.
#pragma once

#include "platform/ui/Prompter.h"

#include <QString>

class QtPrompter : public ui::Prompter {
public:
    ui::MsgResult message(const ui::MessageRequest& req) override;
    std::optional<std::string> input(const std::string& prompt, const std::string& title,
                                     const std::string& defaultValue) override;
    std::string chooseFile(const ui::FileRequest& req) override;
    std::string chooseFolder(const std::string& title, const std::string& initialPath) override;
    std::optional<long> chooseColor(long initial) override;
    std::optional<ui::FontChoice> chooseFont(const ui::FontChoice& initial) override;
    void openExternally(const std::string& target) override;
    bool isInteractive() const override { return true; }

    // "XML File | *.xml|All Files|*.*" -> "XML File (*.xml);;All Files (*.*)".
    static QString toQtFilter(const std::string& filter);
};
