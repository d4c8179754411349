#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QDialog;
class QWidget;

// Everything the program shows modally or hands to the desktop goes through this
// interface: message boxes, file dialogs, text prompts, modal dialogs and the shell's "open".
// The desktop build uses Qt (DesktopPlatform); tests plug in a scripted double
// that records what was shown and answers as the test chose.
class Platform
{
public:
    enum class Icon { None, Stop, Error };
    enum Button { Ok = 0x1, Yes = 0x2, No = 0x4, Cancel = 0x8 };
    using Buttons = int; // an OR of Button values

    struct FileDialog
    {
        QString objectName; // "ProjOpenDialog", "ProjSaveDialog", "DataOpenDialog"
        QString title;
        QString directory;     // where the dialog starts
        QString fileName;      // proposed name ("" for none)
        QString filter;        // "Quillcast Project (*.qlc)|*.qlc" style: description|patterns
        QString defaultSuffix; // added when the user types none ("qlc", "txt")
        bool promptOverwrite = false;
    };

    struct TextPrompt
    {
        QString objectName; // "SitemapAddressDialog"
        QString title;
        QString label; // what to type
        QString text;  // proposed text ("" for none)
    };

    virtual ~Platform() = default;

    // Shows text under caption with the given buttons; returns the button chosen.
    // Without a display the answer is the default button (the first of Ok, Yes).
    virtual Button messageBox(QWidget *parent, const QString &text, const QString &caption, Buttons buttons,
                              Icon icon = Icon::None) = 0;
    // The framework's standard error box for a failure a command does not handle.
    virtual void showError(QWidget *parent, const QString &message) = 0;
    // Returns the chosen path, or "" when the user cancelled.
    virtual QString openFileName(QWidget *parent, const FileDialog &dialog) = 0;
    virtual QString saveFileName(QWidget *parent, const FileDialog &dialog) = 0;
    // Asks for one line of text; nullopt when the user cancelled. Without a
    // display it is cancelled.
    virtual std::optional<QString> textInput(QWidget *parent, const TextPrompt &prompt) = 0;
    // Runs a dialog modally and returns its result (QDialog::Accepted or Rejected).
    virtual int execDialog(QDialog &dialog) = 0;
    // The shell's "open" of a URL or a file; the result is not reported.
    virtual void openInShell(const QString &target) = 0;
};
