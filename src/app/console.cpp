#include "console.h"

#include <QTextBlock>
#include <QTextEdit>

Console::Console(QTextEdit *edit)
    : m_edit(edit)
{ }

void Console::SetInsertionFormat(QColor colour)
{
    QTextCharFormat format;
    format.setFontFamilies({ QStringLiteral("Arial") });
    format.setFontPointSize(10);
    format.setForeground(colour);
    m_edit->setCurrentCharFormat(format);
}

void Console::AppendToConsole(const QString &text, QColor colour)
{
    // Each step moves the widget's own caret, so the status line follows every append.
    m_edit->moveCursor(QTextCursor::End);
    m_edit->setFocus();
    SetInsertionFormat(colour);
    // Plain text only: nothing the module sends is read as markup.
    m_edit->insertPlainText(Displayed(text));
    // Inserting does not scroll by itself: keep the newest text in view.
    m_edit->ensureCursorVisible();
}

QString Console::Displayed(const QString &text)
{
    QString shown = text;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t c = shown.at(i).unicode();
        if (c == u'\n' || c == u'\t'
            || (c == u'\r' && i + 1 < shown.size() && shown.at(i + 1) == u'\n'))
            continue;
        if (c < 0x20)
            shown[i] = QChar(0x2400 + c);
        else if (c == 0x7F)
            shown[i] = QChar(0x2421);
    }
    return shown;
}

int Console::GetLineFromChar(int charPos) const
{
    return m_edit->document()->findBlock(charPos).blockNumber();
}

int Console::LineCount() const
{
    return m_edit->document()->blockCount();
}

int Console::LineStart(int line) const
{
    return m_edit->document()->findBlockByNumber(line).position();
}

int Console::CaretPosition() const
{
    return m_edit->textCursor().selectionStart();
}
