#pragma once

#include <QString>

// Skips the rest of a comment or of a processing instruction, fed bytes in
// slices of any size, holding nothing of their content: the document reader and
// the DOCTYPE's internal subset both pass over them alike.
class XmlSkip
{
public:
    enum class Step {
        More,  // every byte given was read; the comment or instruction goes on
        Done,  // it ended at the '>' before *at
        Fault, // it is broken at *at: fault() says how
    };

    // After "<!-": a second '-' opens the comment, which runs to "-->".
    void beginComment() { m_state = State::CommentOpen; }
    // Inside a processing instruction, after its target: it runs to "?>".
    // afterQuestion: the byte just read (ending the target) was its '?'.
    void beginPi(bool afterQuestion) { m_state = afterQuestion ? State::PiQuestion : State::Pi; }

    // Reads from *at up to end and moves *at past what it read.
    Step read(const uchar **at, const uchar *end);
    QString fault() const { return m_fault; }

private:
    enum class State : quint8 {
        CommentOpen,   // after "<!-": a second '-' opens a comment
        Comment,       // inside a comment
        CommentDash,   // a comment's '-'
        CommentDashes, // a comment's "--": only '>' may follow
        Pi,            // inside a processing instruction
        PiQuestion,    // a processing instruction's '?': '>' closes it
    };

    Step fail(const QString &message);

    State m_state = State::Comment;
    QString m_fault;
};
