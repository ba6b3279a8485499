#include "ui/command_line.h"

#include <QProcess>
#include <algorithm>

namespace {

// Follows QProcess::splitCommand's quote rules and tells whether a quote
// is still open at the end.
bool endsInsideQuote(const QString& text)
{
    bool inQuote = false;
    int quotes = 0;
    for (const QChar c : text) {
        if (c == u'"') {
            ++quotes;
            if (quotes == 3)
                quotes = 0;
            continue;
        }
        if (quotes == 1)
            inQuote = !inQuote;
        quotes = 0;
    }
    if (quotes == 1)
        inQuote = !inQuote;
    return inQuote;
}

} // namespace

CommandLine parseCommandLine(const QString& text)
{
    if (endsInsideQuote(text))
        return {{}, QStringLiteral("The Command Has A Quote (\") That Is Not Closed")};
    CommandLine parsed{QProcess::splitCommand(text), {}};
    if (parsed.arguments.isEmpty())
        parsed.error = QStringLiteral("No Command Was Entered");
    return parsed;
}

QString joinCommandLine(const QStringList& arguments)
{
    QStringList parts;
    for (QString argument : arguments) {
        // The split drops empty arguments: there is no text for one.
        if (argument.isEmpty())
            continue;
        const bool group =
            std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return c.isSpace(); });
        argument.replace(QStringLiteral("\""), QStringLiteral("\"\"\""));
        parts.append(group ? u'"' + argument + u'"' : argument);
    }
    return parts.join(u' ');
}
