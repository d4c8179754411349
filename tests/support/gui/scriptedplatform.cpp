#include "support/gui/scriptedplatform.h"

#include <QDialog>

namespace qctest {

Platform::Button ScriptedPlatform::messageBox(QWidget *, const QString &text, const QString &caption, Buttons buttons,
                                              Icon icon)
{
    shown.append({QStringLiteral("message"), text, caption, buttons, icon, {}, {}});
    if (!answers.isEmpty())
        return answers.dequeue();
    return (buttons & Ok) ? Ok : Yes;
}

void ScriptedPlatform::showError(QWidget *, const QString &message)
{
    shown.append({QStringLiteral("error"), message, {}, Ok, Icon::Error, {}, {}});
}

QString ScriptedPlatform::openFileName(QWidget *, const FileDialog &dialog)
{
    shown.append({QStringLiteral("open"), {}, dialog.title, 0, Icon::None, dialog, {}});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

QString ScriptedPlatform::saveFileName(QWidget *, const FileDialog &dialog)
{
    shown.append({QStringLiteral("save"), {}, dialog.title, 0, Icon::None, dialog, {}});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

std::optional<QString> ScriptedPlatform::textInput(QWidget *, const TextPrompt &prompt)
{
    shown.append({QStringLiteral("text"), prompt.label, prompt.title, 0, Icon::None, {}, prompt});
    return textAnswers.isEmpty() ? std::nullopt : textAnswers.dequeue();
}

int ScriptedPlatform::execDialog(QDialog &dialog)
{
    shown.append({QStringLiteral("dialog"), dialog.objectName(), dialog.windowTitle(), 0, Icon::None, {}, {}});
    if (dialogScripts.isEmpty())
        return QDialog::Rejected;
    return dialogScripts.dequeue()(dialog);
}

void ScriptedPlatform::openInShell(const QString &target)
{
    shown.append({QStringLiteral("shell"), target, {}, 0, Icon::None, {}, {}});
}

QList<ScriptedPlatform::Shown> ScriptedPlatform::ofKind(const QString &kind) const
{
    QList<Shown> result;
    for (const Shown &entry : shown)
        if (entry.kind == kind)
            result.append(entry);
    return result;
}

QStringList ScriptedPlatform::captions() const
{
    QStringList result;
    for (const Shown &entry : shown)
        if (entry.kind == QLatin1String("message"))
            result.append(entry.caption);
    return result;
}

} // namespace qctest
