#include "console.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

namespace {

QTextCharFormat InsertionFormat(QColor colour)
{
    QTextCharFormat format;
    format.setFontFamilies({ QStringLiteral("Arial") });
    format.setFontPointSize(10);
    format.setForeground(colour);
    return format;
}

// Characters the text document itself takes as the end of a line.
bool BreaksLine(QChar c)
{
    return c == QLatin1Char('\n') || c == QChar::ParagraphSeparator || c.unicode() == 0xFDD0
        || c.unicode() == 0xFDD1;
}

// Events before which the console must hold every append: painting, and the operator's
// clicks and keys.
bool NeedsWholeText(QEvent::Type type)
{
    switch (type) {
    case QEvent::UpdateRequest: // the window is about to paint
    case QEvent::Expose:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

} // namespace

Console::Console(QPlainTextEdit *edit)
    : m_edit(edit)
{
    m_frame.setSingleShot(true);
    m_frame.setInterval(FrameMilliseconds);
    connect(&m_frame, &QTimer::timeout, this, &Console::Flush);
    qApp->installEventFilter(this);
}

Console::~Console()
{
    qApp->removeEventFilter(this);
}

void Console::SetInsertionFormat(QColor colour)
{
    m_edit->setCurrentCharFormat(InsertionFormat(colour));
}

void Console::AppendToConsole(const QString &text, QColor colour)
{
    m_edit->setFocus();
    if (m_pending.isEmpty())
        m_frame.start();
    if (!m_pending.isEmpty() && m_pending.last().colour == colour.rgb())
        m_pending.last().text += text;
    else
        m_pending.append({ text, colour.rgb() });
}

void Console::Flush()
{
    m_frame.stop();
    if (m_pending.isEmpty())
        return;
    const QList<Piece> pieces = std::exchange(m_pending, {});
    QTextCursor cursor(m_edit->document());
    cursor.movePosition(QTextCursor::End);
    qsizetype lineLength = cursor.block().length() - 1;
    cursor.beginEditBlock();
    for (const Piece &piece : pieces) {
        // Plain text only: nothing the module sends is read as markup.
        cursor.insertText(Wrapped(Displayed(piece.text), lineLength),
                          InsertionFormat(QColor(piece.colour)));
    }
    cursor.endEditBlock();
    // The caret at the end, where the next append goes: the status line follows it, once
    // for the whole batch, and the newest text is scrolled into view.
    if (m_edit->textCursor() != cursor)
        m_edit->setTextCursor(cursor);
    m_edit->ensureCursorVisible();
}

bool Console::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_pending.isEmpty() && NeedsWholeText(event->type()))
        Flush();
    return QObject::eventFilter(watched, event);
}

QString Console::Displayed(const QString &text)
{
    const auto pictured
        = [](char16_t c) { return (c < 0x20 && c != u'\n' && c != u'\t') || c == 0x7F; };
    const qsizetype size = text.size();
    qsizetype from = 0;
    while (from < size && !pictured(text.at(from).unicode()))
        ++from;
    if (from == size)
        return text; // the usual case: nothing to change, nothing copied
    QString shown = text;
    QChar *out = shown.data();
    qsizetype written = from;
    for (qsizetype i = from; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r' && i + 1 < size && text.at(i + 1) == u'\n')
            continue; // the line feed that follows breaks the line once
        out[written++] = !pictured(c) ? QChar(c) : QChar(c == 0x7F ? 0x2421 : 0x2400 + c);
    }
    shown.truncate(written);
    return shown;
}

QString Console::Wrapped(const QString &text, qsizetype &lineLength)
{
    // The usual case first: no line grows past the limit, and the text stays as it is.
    qsizetype length = lineLength;
    bool fits = true;
    for (const QChar c : text) {
        length = BreaksLine(c) ? 0 : length + 1;
        if (length > LineLimit) {
            fits = false;
            break;
        }
    }
    if (fits) {
        lineLength = length;
        return text;
    }
    QString wrapped;
    wrapped.reserve(text.size() + text.size() / LineLimit + 1);
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype end = from;
        while (end < text.size() && !BreaksLine(text.at(end)))
            ++end;
        // The run [from, end) continues the current line; cut it where the line is full,
        // never between the two halves of a character.
        while (lineLength + (end - from) > LineLimit) {
            qsizetype take = LineLimit - lineLength;
            if (take > 0 && text.at(from + take - 1).isHighSurrogate())
                --take;
            wrapped += QStringView(text).sliced(from, take);
            wrapped += QLatin1Char('\n');
            from += take;
            lineLength = 0;
        }
        wrapped += QStringView(text).sliced(from, end - from);
        lineLength += end - from;
        if (end < text.size()) {
            wrapped += text.at(end);
            lineLength = 0;
            ++end;
        }
        from = end;
    }
    return wrapped;
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
