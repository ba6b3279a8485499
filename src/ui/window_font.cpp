// The text font of the lists, the date style chooser and the text boxes.
#include "ui/window_look.h"

#include <QFontDialog>
#include <QWidget>

namespace {

QFont runFontDialog(const QFont& initial, QWidget* parent)
{
    bool accepted = false;
    const QFont chosen = QFontDialog::getFont(&accepted, initial, parent);
    return accepted ? chosen : initial;
}

} // namespace

void WindowLook::applyTextFont(bool askUser, QWidget* dialogParent)
{
    if (askUser) {
        QFont initial(m_textFont.name.isEmpty() ? QStringLiteral("Arial") : m_textFont.name);
        initial.setPointSizeF(m_textFont.size == 0 ? 9 : m_textFont.size);
        initial.setBold(m_textFont.bold);
        const QFont chosen = m_fontDialog ? m_fontDialog(initial, dialogParent)
                                          : runFontDialog(initial, dialogParent);
        m_textFont.name = chosen.family();
        m_textFont.bold = chosen.bold();
        m_textFont.size = float(chosen.pointSizeF());
        if (m_textFont.size > 12.25f)
            m_textFont.size = 12;
    }

    for (QWidget* target : m_fontTargets) {
        QFont font = target->font();
        font.setFamily(m_textFont.name);
        if (m_textFont.size > 0)
            font.setPointSizeF(m_textFont.size);
        font.setBold(m_textFont.bold);
        target->setFont(font);
    }
}
