#pragma once

// Column widths of the two lists, in twips. The defaults are the settings'
// own; the window only applies widths to a view and reads them back.

#include "storage/run_settings.h"
#include "ui/twips.h"

#include <QTreeView>
#include <array>

using MailListWidths = std::array<float, 6>;    // mail-list columns 1 to 6
using AccountListWidths = std::array<float, 4>; // account-list columns 1 to 4

constexpr MailListWidths defaultMailColumnWidths()
{
    return RunSettings::defaultMailColumnWidths;
}

constexpr AccountListWidths defaultAccountColumnWidths()
{
    return RunSettings::defaultAccountColumnWidths;
}

// Sets the view's columns to the widths; a width below 0 takes its default.
// Returns the widths as applied.
template <std::size_t N>
std::array<float, N> applyColumnWidths(QTreeView* view, std::array<float, N> twips,
                                       const std::array<float, N>& defaults)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (twips[i] < 0)
            twips[i] = defaults[i];
        view->setColumnWidth(int(i), twipsToPixels(twips[i]));
    }
    return twips;
}

template <class Widths> Widths readColumnWidths(const QTreeView* view)
{
    Widths twips{};
    for (std::size_t i = 0; i < twips.size(); ++i)
        twips[i] = float(pixelsToTwips(view->columnWidth(int(i))));
    return twips;
}
