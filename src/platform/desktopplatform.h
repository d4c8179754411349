#pragma once

#include "platform/platform.h"

// The platform of the real program: Qt's message boxes and file dialogs and
// QDesktopServices for the shell's "open". Without a display (the offscreen or
// minimal platform) a message box writes its caption and text to standard error
// and takes its default answer, and a file dialog or text prompt is cancelled, so an unattended
// run can never hang on one.
class DesktopPlatform : public Platform
{
public:
    // Shown: the boxes and dialogs are shown even without a display (for a test
    // that drives them offscreen).
    enum class Display { Detect, Shown };
    explicit DesktopPlatform(Display display = Display::Detect);

    Button messageBox(QWidget *parent, const QString &text, const QString &caption, Buttons buttons,
                      Icon icon = Icon::None) override;
    void showError(QWidget *parent, const QString &message) override;
    QString openFileName(QWidget *parent, const FileDialog &dialog) override;
    QString saveFileName(QWidget *parent, const FileDialog &dialog) override;
    std::optional<QString> textInput(QWidget *parent, const TextPrompt &prompt) override;
    int execDialog(QDialog &dialog) override;
    void openInShell(const QString &target) override;

private:
    bool m_headless;
};

// "Quillcast Project (*.qlc)|*.qlc" → "Quillcast Project (*.qlc)" for Qt's dialogs.
QString QtFileFilter(const QString &filter);
