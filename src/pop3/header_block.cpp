#include "pop3/header_block.h"

#include <QStringDecoder>
#include <algorithm>

namespace {

// Server text: UTF-8 when the bytes are valid UTF-8, else Windows-1252.
QString decodeServerBytes(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder ansi("windows-1252", QStringDecoder::Flag::Stateless);
    if (ansi.isValid())
        return ansi(bytes);
    return QString::fromLatin1(bytes);
}

bool isFoldingBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The raw values of the headers a row shows. Only these are copied out of
// a block; its other lines are only looked at.
struct WantedHeaders
{
    std::optional<QByteArray> from, subject, date;

    // Where the value of a header of this name goes; null for the others.
    std::optional<QByteArray>* valueFor(QByteArrayView name)
    {
        const auto is = [&](QByteArrayView wanted) {
            return name.compare(wanted, Qt::CaseInsensitive) == 0;
        };
        return is("from") ? &from : is("subject") ? &subject : is("date") ? &date : nullptr;
    }
};

// Splits the block at CR LF and joins folded lines to the line they
// continue: the line break and the blanks after it become one blank. A
// name with the colon only in a continuation holds a blank, so it is never
// one we want.
WantedHeaders wantedHeaders(QByteArrayView block)
{
    WantedHeaders found;
    std::optional<QByteArray>* value = nullptr;
    qsizetype from = 0;
    while (from <= block.size()) {
        qsizetype end = block.indexOf("\r\n", from);
        if (end < 0)
            end = block.size();
        const QByteArrayView line = block.sliced(from, end - from);
        from = end + 2;
        if (!line.isEmpty() && isFoldingBlank(line.front())) {
            if (!value)
                continue;
            qsizetype blanks = 0;
            while (blanks < line.size() && isFoldingBlank(line[blanks]))
                ++blanks;
            (*value)->append(' ').append(line.sliced(blanks));
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        value = colon < 0 ? nullptr : found.valueFor(line.first(colon));
        if (value)
            *value = line.sliced(colon + 1).toByteArray();
    }
    return found;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<QByteArray> decodeQ(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() > 0x7e)
            return std::nullopt;
        if (c == u'_') {
            bytes.append(' ');
        } else if (c == u'=') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexDigit(char(text[i + 1].unicode()));
            const int low = hexDigit(char(text[i + 2].unicode()));
            if (high < 0 || low < 0)
                return std::nullopt;
            bytes.append(char(high * 16 + low));
            i += 2;
        } else {
            bytes.append(char(c.unicode()));
        }
    }
    return bytes;
}

std::optional<QByteArray> decodeB(QStringView text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    const auto result =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return *result;
}

struct EncodedWord
{
    qsizetype end = 0; // index after the closing "?="
    QString charset;
    QByteArray bytes;
};

bool isWordBreak(QChar c)
{
    return c == u'?' || c.isSpace();
}

// Reads "=?charset?B|Q?text?=" at `at`; a word in a charset we cannot
// decode does not count. The scan stops at the first "?" or
// blank of each part, so hostile text is read in linear time overall.
std::optional<EncodedWord> readEncodedWord(QStringView text, qsizetype at)
{
    if (!text.mid(at).startsWith(u"=?"))
        return std::nullopt;
    qsizetype i = at + 2;
    while (i < text.size() && !isWordBreak(text[i]))
        ++i;
    if (i == at + 2 || i + 2 >= text.size() || text[i] != u'?' || text[i + 2] != u'?')
        return std::nullopt;
    QString charset = text.mid(at + 2, i - at - 2).toString();
    const qsizetype language = charset.indexOf(u'*'); // RFC 2231 suffix
    if (language >= 0)
        charset.truncate(language);
    const QChar encoding = text[i + 1].toUpper();
    const qsizetype textStart = i + 3;
    i = textStart;
    while (i < text.size() && !isWordBreak(text[i]))
        ++i;
    if (i + 1 >= text.size() || text[i] != u'?' || text[i + 1] != u'=')
        return std::nullopt;
    const QStringView payload = text.mid(textStart, i - textStart);
    std::optional<QByteArray> bytes;
    if (encoding == u'Q')
        bytes = decodeQ(payload);
    else if (encoding == u'B')
        bytes = decodeB(payload);
    if (!bytes || !QStringDecoder(charset.toLatin1().constData()).isValid())
        return std::nullopt;
    return EncodedWord{i + 2, charset, *bytes};
}

// Decodes RFC 2047 encoded words. Adjacent encoded words separated only by
// blanks are joined, their bytes first, so a character split across two
// words comes out whole.
QString decodeEncodedWords(const QString& text)
{
    if (!text.contains(u"=?"))
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype start = text.indexOf(u"=?", pos);
        if (start < 0)
            break;
        const auto word = readEncodedWord(text, start);
        if (!word) {
            out.append(QStringView(text).mid(pos, start + 1 - pos));
            pos = start + 1;
            continue;
        }
        out.append(QStringView(text).mid(pos, start - pos));
        QByteArray bytes = word->bytes;
        pos = word->end;
        for (;;) {
            qsizetype next = pos;
            while (next < text.size() && text[next].isSpace())
                ++next;
            const auto following = readEncodedWord(text, next);
            if (!following || following->charset.compare(word->charset, Qt::CaseInsensitive))
                break;
            bytes.append(following->bytes);
            pos = following->end;
        }
        out.append(QStringDecoder(word->charset.toLatin1().constData())(bytes));
        // A following word in another charset still drops the blanks between.
        qsizetype next = pos;
        while (next < text.size() && text[next].isSpace())
            ++next;
        if (next > pos && readEncodedWord(text, next))
            pos = next;
    }
    out.append(QStringView(text).mid(pos));
    return out;
}

// A value is shown on one line of a list, a TAB-separated row or a JSON
// field: a TAB or line break left in it (written raw or decoded from an
// encoded word) becomes a blank.
QString oneLine(QString value)
{
    const auto isBreak = [](QChar c) { return c == u'\t' || c == u'\r' || c == u'\n'; };
    // Looked for first: most values hold none, and writing would copy them.
    if (std::any_of(value.cbegin(), value.cend(), isBreak))
        std::replace_if(value.begin(), value.end(), isBreak, u' ');
    return std::move(value).trimmed();
}

} // namespace

std::optional<MailHeaders> parseHeaderBlock(const QByteArray& message)
{
    const qsizetype blockEnd = message.indexOf("\r\n\r\n");
    if (blockEnd < 0)
        return std::nullopt;
    const WantedHeaders found = wantedHeaders(QByteArrayView(message).first(blockEnd));
    MailHeaders headers;
    if (found.from)
        headers.from = oneLine(decodeEncodedWords(decodeServerBytes(*found.from).trimmed()));
    if (found.subject)
        headers.subject = oneLine(decodeEncodedWords(decodeServerBytes(*found.subject).trimmed()));
    if (found.date)
        headers.date = oneLine(decodeServerBytes(*found.date));
    return headers;
}
