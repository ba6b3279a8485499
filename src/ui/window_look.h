#pragma once

#include "storage/text_font.h"

#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class QLineEdit;
class QTimer;
class QWidget;

// A control and the entry of the tool-tip table it carries (from 1).
struct ToolTipTarget
{
    QWidget* control = nullptr;
    int tip = 0;
};

// The window's look: page colours over the labels, frames, check boxes and
// picture boxes, the tool tips, and the text font.
class WindowLook
{
public:
    explicit WindowLook(QWidget* surface);

    // --- Colours ---------------------------------------------------------------
    std::uint32_t pageColour() const { return m_pageColour; }
    void setPageColour(std::uint32_t colour) { m_pageColour = colour; }
    // The page colour by the system's colours now.
    void decidePageColour();
    void applyPageColours();

    // --- Tool tips -------------------------------------------------------------
    static const QStringList& toolTipTexts(); // 13 texts, index 0 = tip 1
    void setToolTipTargets(QList<ToolTipTarget> targets) { m_tipTargets = std::move(targets); }
    // Controls beyond the table, each with its own text; on and off with it.
    struct OwnToolTip
    {
        QWidget* control = nullptr;
        QString text;
    };
    void setOwnToolTips(QList<OwnToolTip> tips) { m_ownTips = std::move(tips); }
    // The re-check indicator, whose tip tells whether the timer runs.
    void setRecheckIndicator(QLineEdit* indicator, const QTimer* recheckTimer);
    bool toolTipsOff() const { return m_toolTipsOff; }
    void setToolTipsOff(bool off) { m_toolTipsOff = off; }
    void setRecheckIntervalMinutes(std::int32_t minutes) { m_recheckIntervalMinutes = minutes; }
    void applyToolTips();

    // --- Text font -------------------------------------------------------------
    TextFont textFont() const { return m_textFont; }
    void setTextFont(const TextFont& font) { m_textFont = font; }
    using FontDialogRunner = std::function<QFont(const QFont& initial, QWidget* parent)>;
    void setFontDialogRunner(FontDialogRunner runner) { m_fontDialog = std::move(runner); }
    void setTextFontTargets(QList<QWidget*> targets) { m_fontTargets = std::move(targets); }
    // Asks for a font first when askUser, then applies the text font to its
    // targets.
    void applyTextFont(bool askUser, QWidget* dialogParent);

private:
    QWidget* m_surface;
    std::uint32_t m_pageColour;
    QList<ToolTipTarget> m_tipTargets;
    QList<OwnToolTip> m_ownTips;
    QLineEdit* m_indicator = nullptr;
    const QTimer* m_recheckTimer = nullptr;
    bool m_toolTipsOff = false;
    std::int32_t m_recheckIntervalMinutes = 30;
    TextFont m_textFont;
    FontDialogRunner m_fontDialog;
    QList<QWidget*> m_fontTargets;
};
