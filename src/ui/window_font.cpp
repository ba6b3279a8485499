// The text font of the lists, the date style chooser and the text boxes.
#include "ui/window_look.h"

#include <QFontDialog>
#include <QWidget>

namespace {

const char* const FallbackFonts[] = {"MS Sans Serif", "Arial", "Verdana"};

QString trimTrailing(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

QFont runFontDialog(const QFont& initial, QWidget* parent)
{
    bool accepted = false;
    const QFont chosen = QFontDialog::getFont(&accepted, initial, parent);
    return accepted ? chosen : initial;
}

} // namespace

TextFont WindowLook::chooseStartupFont(TextFont stored, const QStringList& installed,
                                       const QString& systemDefault)
{
    stored.name = trimTrailing(stored.name);
    const bool sizeCheckOnly = installed.isEmpty() || installed.contains(stored.name);
    if (sizeCheckOnly) {
        if (stored.size < 2)
            stored.size = 8;
        else if (stored.size > 12)
            stored.size = 12;
        return stored;
    }
    TextFont fallback{systemDefault, 8, 0};
    for (const char* name : FallbackFonts) {
        if (installed.contains(QString::fromLatin1(name))) {
            fallback.name = QString::fromLatin1(name);
            break;
        }
    }
    // With neither a known fallback nor a system font, any installed font
    // beats none.
    if (fallback.name.isEmpty())
        fallback.name = installed.first();
    return fallback;
}

void WindowLook::applyTextFont(bool askUser, QWidget* dialogParent)
{
    if (askUser) {
        QFont initial(m_textFont.name.isEmpty() ? QStringLiteral("Arial") : m_textFont.name);
        initial.setPointSizeF(m_textFont.size == 0 ? 9 : m_textFont.size);
        initial.setBold(m_textFont.bold != 0);
        const QFont chosen = m_fontDialog ? m_fontDialog(initial, dialogParent)
                                          : runFontDialog(initial, dialogParent);
        m_textFont.name = chosen.family();
        m_textFont.bold = chosen.bold() ? -1 : 0;
        m_textFont.size = float(chosen.pointSizeF());
        if (m_textFont.size > 12.25f)
            m_textFont.size = 12;
    }

    for (QWidget* target : m_fontTargets) {
        QFont font = target->font();
        font.setFamily(m_textFont.name);
        if (m_textFont.size > 0)
            font.setPointSizeF(m_textFont.size);
        font.setBold(m_textFont.bold != 0);
        target->setFont(font);
    }
}
