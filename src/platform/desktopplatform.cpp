#include "platform/desktopplatform.h"

#include "platform/filenameicons.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

#include <cstdio>

namespace {

Platform::Button defaultButton(Platform::Buttons buttons)
{
    return (buttons & Platform::Ok) ? Platform::Ok : Platform::Yes;
}

void writeToStandardError(const QString &caption, const QString &text)
{
    const QByteArray line = (caption + QLatin1String(": ") + text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

QString QtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(parts.at(i).contains(QLatin1Char('('))
                           ? parts.at(i)
                           : parts.at(i) + QLatin1String(" (") + parts.at(i + 1) + QLatin1Char(')'));
    return filters.join(QLatin1String(";;"));
}

DesktopPlatform::DesktopPlatform(Display display)
{
    const QString name = QGuiApplication::platformName();
    m_headless = display == Display::Detect && (name == QLatin1String("offscreen") || name == QLatin1String("minimal"));
}

Platform::Button DesktopPlatform::messageBox(QWidget *parent, const QString &text, const QString &caption,
                                             Buttons buttons, Icon icon)
{
    if (m_headless) {
        writeToStandardError(caption, text);
        return defaultButton(buttons);
    }
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon(icon == Icon::None ? QMessageBox::NoIcon : QMessageBox::Critical);
    QMessageBox::StandardButtons standard;
    if (buttons & Ok)
        standard |= QMessageBox::Ok;
    if (buttons & Yes)
        standard |= QMessageBox::Yes;
    if (buttons & No)
        standard |= QMessageBox::No;
    if (buttons & Cancel)
        standard |= QMessageBox::Cancel;
    box.setStandardButtons(standard);
    box.setDefaultButton((buttons & Ok) ? QMessageBox::Ok : QMessageBox::Yes);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    case QMessageBox::Cancel:
        return Cancel;
    case QMessageBox::Ok:
        return Ok;
    default:
        // Closing the box with Escape or the title bar counts as its escape button.
        return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
    }
}

void DesktopPlatform::showError(QWidget *parent, const QString &message)
{
    if (m_headless) {
        writeToStandardError(QApplication::applicationName(), message);
        return;
    }
    QMessageBox::critical(parent, QApplication::applicationName(), message);
}

static QString runFileDialog(QWidget *parent, const Platform::FileDialog &dialog, QFileDialog::AcceptMode mode)
{
    // Qt's own dialog with icons by name: a desktop's native dialog (and Qt's
    // default icons) open every listed file to guess its type, which would drop
    // SQLite's locks on the URL table in the base directory.
    FileNameIcons icons;
    QFileDialog fileDialog(parent, dialog.title, dialog.directory, QtFileFilter(dialog.filter));
    fileDialog.setOption(QFileDialog::DontUseNativeDialog);
    fileDialog.setIconProvider(&icons);
    fileDialog.setObjectName(dialog.objectName);
    fileDialog.setAcceptMode(mode);
    fileDialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    fileDialog.setDefaultSuffix(dialog.defaultSuffix);
    if (!dialog.promptOverwrite)
        fileDialog.setOption(QFileDialog::DontConfirmOverwrite);
    fileDialog.setOption(QFileDialog::ReadOnly, false);
    if (!dialog.fileName.isEmpty())
        fileDialog.selectFile(dialog.fileName);
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty())
        return {};
    return fileDialog.selectedFiles().constFirst();
}

QString DesktopPlatform::openFileName(QWidget *parent, const FileDialog &dialog)
{
    if (m_headless) {
        writeToStandardError(dialog.title, QStringLiteral("(no display: cancelled)"));
        return {};
    }
    return runFileDialog(parent, dialog, QFileDialog::AcceptOpen);
}

QString DesktopPlatform::saveFileName(QWidget *parent, const FileDialog &dialog)
{
    if (m_headless) {
        writeToStandardError(dialog.title, QStringLiteral("(no display: cancelled)"));
        return {};
    }
    return runFileDialog(parent, dialog, QFileDialog::AcceptSave);
}

std::optional<QString> DesktopPlatform::textInput(QWidget *parent, const TextPrompt &prompt)
{
    if (m_headless) {
        writeToStandardError(prompt.title, QStringLiteral("(no display: cancelled)"));
        return std::nullopt;
    }
    QInputDialog dialog(parent);
    dialog.setObjectName(prompt.objectName);
    dialog.setWindowTitle(prompt.title);
    dialog.setLabelText(prompt.label);
    dialog.setTextValue(prompt.text);
    dialog.setInputMode(QInputDialog::TextInput);
    // Room for a whole address.
    dialog.resize(qMax(dialog.sizeHint().width(), 480), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

int DesktopPlatform::execDialog(QDialog &dialog)
{
    if (m_headless)
        return QDialog::Rejected;
    return dialog.exec();
}

void DesktopPlatform::openInShell(const QString &target)
{
    const QUrl url = QUrl::fromUserInput(target, QString(), QUrl::AssumeLocalFile);
    QDesktopServices::openUrl(url);
}
