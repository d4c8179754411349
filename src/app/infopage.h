#pragma once

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

// "Sender Info": the site owner's name and e-mail addresses, and the logo.
struct InfoPage
{
    QWidget *InfoTabSheet = nullptr;
    QLineEdit *InfoFirstNameEdit = nullptr;
    QLineEdit *InfoMIEdit = nullptr;
    QLineEdit *InfoLastNameEdit = nullptr;
    QPlainTextEdit *InfoEmailMemo = nullptr;
    QLabel *LogoImage = nullptr;

    // Lays the page out on sheet.
    void build(QWidget *sheet);
};
