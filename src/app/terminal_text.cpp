#include "app/terminal_text.h"

namespace {

QChar visibleMark(QChar c)
{
    const char16_t code = c.unicode();
    if (code < 0x20)
        return QChar(char16_t(0x2400 + code));
    if (code == 0x7f)
        return QChar(char16_t(0x2421));
    if (code >= 0x80 && code <= 0x9f)
        return QChar(QChar::ReplacementCharacter);
    return c;
}

} // namespace

QString terminalSafe(QString text)
{
    for (QChar& c : text)
        c = visibleMark(c);
    return text;
}

QString terminalSafeField(QString text)
{
    for (QChar& c : text) {
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
        else
            c = visibleMark(c);
    }
    return text;
}

QString terminalSafeLines(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\n')
            out.append(u'\n');
        else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue; // the LF that follows ends the line
        else
            out.append(visibleMark(c));
    }
    return out;
}
