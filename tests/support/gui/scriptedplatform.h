#pragma once

#include "platform/platform.h"

#include <QList>
#include <QQueue>
#include <functional>

namespace qctest {

// The platform double for window tests: records every box, dialog, report line and shell
// "open", and answers from queues the test fills. A box with no queued answer
// takes its default button (Ok, else Yes), a file dialog or text prompt with no queued
// answer is cancelled, a modal dialog with no queued script is rejected. Nothing ever blocks.
class ScriptedPlatform : public Platform
{
public:
    struct Shown
    {
        QString kind;    // "message", "error", "open", "save", "text", "dialog", "shell", "report"
        QString text;    // box text, error message, dialog object name, opened target
        QString caption; // box caption or file-dialog title
        Buttons buttons = 0;
        Icon icon = Icon::None;
        FileDialog fileDialog;
        TextPrompt prompt;
    };

    QList<Shown> shown;
    QQueue<Button> answers;
    QQueue<QString> fileAnswers;
    QQueue<std::optional<QString>> textAnswers;
    QQueue<std::function<int(QDialog &)>> dialogScripts;

    Button messageBox(QWidget *parent, const QString &text, const QString &caption, Buttons buttons,
                      Icon icon = Icon::None) override;
    void showError(QWidget *parent, const QString &message) override;
    QString openFileName(QWidget *parent, const FileDialog &dialog) override;
    QString saveFileName(QWidget *parent, const FileDialog &dialog) override;
    std::optional<QString> textInput(QWidget *parent, const TextPrompt &prompt) override;
    int execDialog(QDialog &dialog) override;
    void openInShell(const QString &target) override;

    // The shown entries of one kind, in order.
    QList<Shown> ofKind(const QString &kind) const;
    // The captions of all message boxes shown so far.
    QStringList captions() const;
};

} // namespace qctest
