#pragma once

class QPlainTextEdit;
class QWidget;

// "Hidden" (shown in debug mode only): the working lists the engine pass fills
// and the answer buffer of the current request.
struct HiddenPage
{
    QWidget *HiddenTabSheet = nullptr;
    QPlainTextEdit *HiddenNameMemo = nullptr;
    QPlainTextEdit *HiddenValueMemo = nullptr;
    QPlainTextEdit *SubmitStatusMemo = nullptr;
    QPlainTextEdit *UserAgentMemo = nullptr;

    void build(QWidget *sheet);
};
